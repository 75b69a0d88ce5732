// Outputs named from their inputs' tags and dated as their inputs, through the whole batch with the real
// tool: the window's settings and the terminal mode's options.
#include "GuiSupport.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

using namespace TestSupport;

namespace {

class TaggedOutputs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sound::setPlayer([](const QString&) {});
        window = std::make_unique<frmMain>(folder.path());
        window->ui().txtPath->setText(folder.file("out"));
        window->options().FilesAtOnce = 1;
    }
    void TearDown() override
    {
        window.reset();
        Sound::setPlayer({});
    }
    bool runBatch()
    {
        QSignalSpy finished(window.get(), &frmMain::batchFinished);
        EXPECT_TRUE(trigger(window.get(), "actionConvert"));
        return finished.wait(120000);
    }
    // Every file below the output folder, relative to it, sorted.
    QStringList outputs() const
    {
        QStringList found;
        const QDir out(folder.file("out"));
        QDirIterator it(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(out.relativeFilePath(it.next()));
        found.sort();
        return found;
    }

    OpenedUrls opened;
    ScopedEnv noFfmpeg{"VELTRA_FFMPEG", "/nonexistent/ffmpeg"};
    ProgramFolder folder{buildProgramFolder() + QStringLiteral("/data/conv.exe")};
    MsgBoxRecorder boxes;
    std::unique_ptr<frmMain> window;
};

// An input made by FFmpeg's own program from a tone, with these tags.
bool makeTagged(const QString& tone, const QString& path, const QStringList& tags)
{
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"), tone};
    for (const QString& tag : tags)
        args << QStringLiteral("-metadata") << tag;
    args << path;
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool setModified(const QString& path, qint64 seconds)
{
    const struct utimbuf times
    {
        seconds, seconds
    };
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

TEST_F(TaggedOutputs, KeptDatesAreTheInputsToTheSecondAndOffTheyAreToday)
{
    constexpr qint64 kMillennium = 978307200; // 2001-01-01 00:00:00 UTC
    for (const char* name : {"old.wav", "older.wav"}) {
        ASSERT_TRUE(makeTone(folder.file(name), 1));
        ASSERT_TRUE(setModified(folder.file(name), kMillennium + 7));
    }
    window->options().KeepDate = 1;
    window->ui().lstFile->append(folder.file("old.wav"));
    ASSERT_TRUE(runBatch());
    ASSERT_EQ(window->lastBatch().converted(), 1);
    EXPECT_EQ(QFileInfo(folder.file("out/old.wma")).lastModified().toSecsSinceEpoch(), kMillennium + 7);

    window->options().KeepDate = 0;
    window->ui().lstFile->append(folder.file("older.wav"));
    ASSERT_TRUE(runBatch());
    ASSERT_EQ(window->lastBatch().converted(), 1);
    EXPECT_GT(QFileInfo(folder.file("out/older.wma")).lastModified().toSecsSinceEpoch(), kMillennium + 7);
    EXPECT_TRUE(outputs() == (QStringList{"old.wma", "older.wma"})) << outputs().join(' ').toStdString();
}

TEST_F(TaggedOutputs,
       ArtistAlbumTitleFilesTaggedUntaggedAndHostileInputsWithCollisionsNumberedAndASkipRunConvertsNothing)
{
    ASSERT_TRUE(QDir().mkpath(folder.file("lib/rips")));
    ASSERT_TRUE(makeTone(folder.file("tone.wav"), 1));
    const QStringList killers = {"artist=The Killers", "album=Hot Fuss", "title=Mr. Brightside", "track=2/11"};
    ASSERT_TRUE(makeTagged(folder.file("tone.wav"), folder.file("lib/rips/track01.flac"), killers));
    ASSERT_TRUE(makeTagged(folder.file("tone.wav"), folder.file("lib/rips/copy.flac"), killers));
    ASSERT_TRUE(makeTagged(folder.file("tone.wav"), folder.file("lib/rips/evil.flac"),
                           {"artist=AC/DC", "album=../../etc", QStringLiteral("title=Back\x01 in Black... ")}));
    ASSERT_TRUE(makeTone(folder.file("lib/AudioTrack 02.wav"), 1));
    window->options().OutputNames = 1; // Artist/Album/NN Title
    // The names come from the tags the loudness analysis returns: one pass before the conversions.
    window->options().Loudness = LoudnessPlan::Tags;
    window->AddPaths({folder.file("lib")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->ui().lstFile->count() == 4 && !window->isListBusy(); }, 30000));
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lastBatch().converted(), 4) << boxes.shown().value(0).text.toStdString();
    // The kept tree ("lib/rips") is replaced by the pattern's levels.
    EXPECT_EQ(
        outputs(),
        (QStringList{"AC_DC/_.._etc/Back in Black.wma", "The Killers/Hot Fuss/02 Mr. Brightside (2).wma",
                     "The Killers/Hot Fuss/02 Mr. Brightside.wma", "Unknown Artist/Unknown Album/AudioTrack 02.wma"}))
        << outputs().join(QLatin1Char('\n')).toStdString();
    EXPECT_NEAR(
        probe(folder.file("out/The Killers/Hot Fuss/02 Mr. Brightside.wma"), QStringLiteral("duration")).toDouble(),
        1.0, 0.1);

    // Skip mode: every name the pattern gives is there already, so nothing converts.
    window->options().IfExists = ExistingOutput::Skip;
    window->AddPaths({folder.file("lib")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->ui().lstFile->count() == 4 && !window->isListBusy(); }, 30000));
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lastBatch().converted(), 0);
    EXPECT_EQ(window->lastBatch().skipped(), 4);
    EXPECT_EQ(outputs().size(), 4);
}

TEST_F(TaggedOutputs, AnOwnPatternBesideEachOriginalAndAPauseBetweenProbeAndConversion)
{
    ASSERT_TRUE(makeTone(folder.file("tone.wav"), 1));
    ASSERT_TRUE(makeTagged(folder.file("tone.wav"), folder.file("a.flac"),
                           {"artist=Solo", "title=Song", "date=1999-05-01", "genre=Pop"}));
    window->options().OutputNames = 3;
    window->options().NamePattern = QStringLiteral("{genre}/{year} - {title} ({name})");
    window->options().OutputFiles = OutputLayout::BesideOriginal;
    window->ui().lstFile->append(folder.file("a.flac"));
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    // Paused as the file starts, which is its probe: its conversion waits for Resume.
    bool paused = false;
    QObject::connect(window->batch(), &BatchDriver::fileStarted, [&] {
        if (!paused)
            paused = window->batch()->Pause();
    });
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return paused; }, 30000));
    QTest::qWait(300);
    EXPECT_FALSE(QFile::exists(folder.file("Pop"))) << "nothing named or made while paused";
    ASSERT_TRUE(window->batch()->Resume());
    ASSERT_TRUE(finished.wait(120000));
    EXPECT_EQ(window->lastBatch().converted(), 1);
    EXPECT_TRUE(QFile::exists(folder.file("Pop/1999 - Song (a).wma")));
}

} // namespace

TEST_F(TaggedOutputs, AFileTooQuietToMeasureConvertsAndTheEndSaysItGotNoGain)
{
    ASSERT_TRUE(QDir().mkpath(folder.file("lib")));
    ASSERT_TRUE(makeTone(folder.file("lib/tone.wav"), 1));
    QProcess silence;
    silence.start(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                             "anullsrc=r=44100:cl=stereo", "-t", "2", folder.file("lib/silent.wav")});
    ASSERT_TRUE(silence.waitForFinished(60000) && silence.exitCode() == 0);
    window->options().Loudness = LoudnessPlan::Track;
    window->AddPaths({folder.file("lib/tone.wav"), folder.file("lib/silent.wav")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->ui().lstFile->count() == 2 && !window->isListBusy(); }, 30000));
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lastBatch().converted(), 2);
    EXPECT_EQ(outputs(), (QStringList{"silent.wma", "tone.wma"}));
    // One box, after the batch: the silent file by name with the reason; the measured tone is not in it.
    ASSERT_EQ(boxes.shown().size(), 1);
    const MsgBox::Shown& box = boxes.shown().constFirst();
    EXPECT_EQ(box.icon, MsgBox::Icon::Information);
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("1 file was converted with no loudness gain:\n")))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("silent.wav: it never rises above -70 LUFS")))
        << box.text.toStdString();
    EXPECT_FALSE(box.text.contains(QStringLiteral("tone.wav")));
    EXPECT_TRUE(box.details.contains(folder.file("lib/silent.wav")));
}
