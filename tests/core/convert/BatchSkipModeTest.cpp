// Skip mode through the driver: a file is skipped only for its own output of an earlier run, and what
// is in the way at its name is said, never converted over or beside.
#include "DriverBatch.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

using End = BatchDriver::FileEnd;

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QHash<QString, QDateTime> modified(const QString& folder)
{
    QHash<QString, QDateTime> times;
    for (const QString& name : filesIn(folder))
        times.insert(name, QFileInfo(folder + QLatin1Char('/') + name).lastModified());
    return times;
}

// Two albums' "01 Intro" into one folder with the real tool: two outputs, and on every later run both
// are skipped, each for its own output, and said to be.
TEST(BatchSkipMode, TwoInputsOfOneNameInOneFolderGetTwoOutputsAndEveryLaterRunSkipsBoth)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("a"))) && QDir().mkpath(dir.filePath(QStringLiteral("b"))));
    const QList<QString> inputs = {dir.filePath(QStringLiteral("a/01 Intro.wav")),
                                   dir.filePath(QStringLiteral("b/01 Intro.wav"))};
    for (const QString& in : inputs)
        ASSERT_TRUE(makeTone(in, 0.3));
    const QString out = dir.filePath(QStringLiteral("out"));
    DriverBatch batch(buildProgramFolder(), out);
    batch.setup.formatIndex = 3; // WAV
    batch.setup.options.OutputFiles = OutputLayout::AllInOne;
    batch.setup.options.IfExists = ExistingOutput::Skip;
    ASSERT_TRUE(batch.run(inputs));
    EXPECT_EQ(batch.driver.outcome().converted(), 2);
    EXPECT_EQ(filesIn(out), QStringList({"01 Intro (2).wav", "01 Intro.wav"}));
    const QHash<QString, QDateTime> written = modified(out);

    for (int run = 2; run <= 3; ++run) {
        ASSERT_TRUE(batch.run(inputs)) << run;
        EXPECT_TRUE(batch.started.isEmpty()) << run << ": a skipped file starts no tool";
        EXPECT_EQ(batch.driver.outcome().converted(), 0) << run;
        EXPECT_EQ(batch.driver.outcome().skipped(), 2) << run;
        EXPECT_EQ(batch.count(End::Skipped), 2) << run << ": each skipped file is said to be";
        EXPECT_TRUE(batch.queue.isEmpty()) << run;
        EXPECT_EQ(modified(out), written) << run;
    }

    // The second album's output deleted: only its input converts, into its own name again.
    ASSERT_TRUE(QFile::remove(out + QStringLiteral("/01 Intro (2).wav")));
    ASSERT_TRUE(batch.run(inputs));
    EXPECT_EQ(batch.started, QList<QString>{inputs[1]});
    EXPECT_EQ(batch.driver.outcome().skipped(), 1);
    EXPECT_EQ(filesIn(out), QStringList({"01 Intro (2).wav", "01 Intro.wav"}));
}

// "Song" and "song" onto a stick that ignores case are one name there.
TEST(BatchSkipMode, SongAndsongOntoAFatStickGiveTwoOutputsAndASecondRunSkipsBoth)
{
    FatStick stick;
    if (!stick.mounted())
        GTEST_SKIP() << "needs /dev/fuse, fusefat and mkfs.fat";
    QTemporaryDir dir;
    const QList<QString> inputs = {dir.filePath(QStringLiteral("Song.wav")), dir.filePath(QStringLiteral("song.wav"))};
    for (const QString& in : inputs)
        ASSERT_TRUE(makeTone(in, 0.3));
    const QString out = stick.mount() + QStringLiteral("/Music");
    DriverBatch batch(buildProgramFolder(), out);
    batch.setup.formatIndex = 3;
    batch.setup.options.IfExists = ExistingOutput::Skip;
    ASSERT_TRUE(batch.run(inputs));
    EXPECT_EQ(batch.driver.outcome().converted(), 2)
        << (batch.ended.isEmpty() ? std::string() : batch.ended.last().reason.toStdString());
    EXPECT_TRUE(batch.driver.outcome().notWrittenOut().isEmpty()) << "a stick that cannot sync counts as synced";
    const QStringList written = filesIn(out);
    ASSERT_EQ(written.size(), 2) << written.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(written.filter(QStringLiteral("(2)")).size(), 1);
    ASSERT_TRUE(batch.run(inputs));
    EXPECT_TRUE(batch.started.isEmpty());
    EXPECT_EQ(batch.driver.outcome().converted(), 0);
    EXPECT_EQ(batch.count(End::Skipped), 2);
    EXPECT_TRUE(batch.driver.outcome().failures().isEmpty());
    EXPECT_EQ(filesIn(out), written);
}

// An empty file, a folder or a link to nothing at an output name is no output of an earlier run: the
// file fails with what is in the way, on every run, and no copy is written beside it.
TEST(BatchSkipMode, AnEmptyFileAFolderOrADanglingLinkAtAnOutputNameFailsItsFileOnEveryRunAndAddsNoCopy)
{
    ProgramFolder program;
    ScopedEnv ops("FAKE_TOOL_OPS", "touch");
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/folder.mp3")));
    QFile empty(out + QStringLiteral("/empty.mp3"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    ASSERT_TRUE(QFile::link(out + QStringLiteral("/gone.mp3"), out + QStringLiteral("/link.mp3")));
    QList<QString> inputs;
    for (const char* name : {"empty.wav", "folder.wav", "link.wav", "new.wav"}) {
        inputs.append(dir.filePath(QLatin1String(name)));
        QFile in(inputs.last());
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    }
    DriverBatch batch(program.path(), out);
    batch.setup.options.IfExists = ExistingOutput::Skip;
    const QStringList before = filesIn(out);
    for (int run = 1; run <= 2; ++run) {
        // The second run: the failed files are back in the list, and the converted one is added again.
        ASSERT_TRUE(batch.run(run == 1 ? inputs : QList<QString>{inputs[3]}));
        EXPECT_EQ(batch.started, run == 1 ? QList<QString>{inputs[3]} : QList<QString>{}) << run;
        ASSERT_EQ(batch.driver.outcome().failures().size(), 3) << run;
        const QStringList reasons = {QStringLiteral("An empty file is in the way at %1/empty.mp3").arg(out),
                                     QStringLiteral("A folder is in the way at %1/folder.mp3").arg(out),
                                     QStringLiteral("A link to nothing is in the way at %1/link.mp3").arg(out)};
        for (int i = 0; i < 3; ++i) {
            const BatchOutcome::Failure& f = batch.driver.outcome().failures()[i];
            EXPECT_EQ(f.input, inputs[i]) << run;
            EXPECT_TRUE(f.lastLine.startsWith(reasons[i])) << run << " " << f.lastLine.toStdString();
        }
        EXPECT_EQ(batch.count(End::Failed), 3) << run;
        EXPECT_EQ(batch.driver.outcome().skipped(), run == 1 ? 0 : 1) << run;
        EXPECT_EQ(batch.queue.paths(), inputs.mid(0, 3)) << run << ": back in the list";
        EXPECT_EQ(filesIn(out), before + QStringList{"new.mp3"}) << run << ": nothing beside them";
        EXPECT_EQ(QFileInfo(out + QStringLiteral("/empty.mp3")).size(), 0);
    }
}

} // namespace
