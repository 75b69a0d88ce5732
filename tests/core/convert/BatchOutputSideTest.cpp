// What the driver blames when a file fails: the output side when the output folder went away or stopped
// taking files, the tool's own word (and its record of what it wrote) otherwise.
#include "DriverBatch.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

using End = BatchDriver::FileEnd;

QList<QString> emptyInputs(const QTemporaryDir& dir, const QStringList& names)
{
    QList<QString> inputs;
    for (const QString& name : names) {
        inputs.append(dir.filePath(name));
        QFile(inputs.last()).open(QIODevice::WriteOnly);
    }
    return inputs;
}

TEST(BatchOutputSide, AnOutputFolderRemovedOrMadeReadOnlyMidBatchIsTheReasonOfEveryFileItFails)
{
    struct Case
    {
        const char* name;
        std::function<bool(const QString&)> spoil;
        const char* reason;
    };
    const QList<Case> cases = {
        {"removed", [](const QString& out) { return QDir(out).removeRecursively(); },
         "is gone: No such file or directory"},
        {"read-only", [](const QString& out) { return ::chmod(QFile::encodeName(out).constData(), 0500) == 0; },
         "cannot be written: Permission denied"}};
    for (const Case& c : cases) {
        if (QByteArray(c.name) == "read-only" && ::geteuid() == 0)
            continue; // root writes anyway
        ProgramFolder program;
        QTemporaryDir dir;
        const QString go = dir.filePath(QStringLiteral("go"));
        ScopedEnv ops("FAKE_TOOL_OPS", "waitfor:" + go.toUtf8() + ";touch");
        const QList<QString> inputs = emptyInputs(dir, {"a.wav", "b.wav", "c.wav"});
        const QString out = dir.filePath(QStringLiteral("out"));
        DriverBatch batch(program.path(), out);
        QObject::connect(&batch.driver, &BatchDriver::fileStarted, &batch.driver, [&] {
            EXPECT_TRUE(c.spoil(out)) << c.name;
            release(go);
        });
        ASSERT_TRUE(batch.run(inputs)) << c.name;
        EXPECT_EQ(batch.started, QList<QString>{inputs[0]}) << c.name << ": no tool starts into a folder gone";
        EXPECT_EQ(batch.count(End::Failed), 3) << c.name;
        const QString reason = QStringLiteral("The output folder %1 %2").arg(out, QLatin1String(c.reason));
        for (const DriverBatch::Ended& e : batch.ended)
            EXPECT_EQ(e.reason, reason) << c.name;
        ASSERT_EQ(batch.driver.outcome().failures().size(), 3);
        EXPECT_EQ(batch.driver.outcome().failures()[0].lastLine, reason) << c.name;
        EXPECT_EQ(batch.queue.paths(), inputs) << c.name;
        if (QByteArray(c.name) == "removed") {
            EXPECT_FALSE(QFile::exists(out)) << "a folder gone is not made again";
        }
        ::chmod(QFile::encodeName(out).constData(), 0700);
    }
}

TEST(BatchOutputSide, TheToolsRecordStillDecidesWhatWasWrittenAndAFolderThatIsThereBlamesNothing)
{
    ProgramFolder program;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    DriverBatch batch(program.path(), out);
    {
        // The tool found "a.mp3" taken as it finished and wrote "a (2).mp3": that is the output.
        ScopedEnv ops("FAKE_TOOL_OPS", "record:name 2 0\\n;touchat:" + out.toUtf8() + "/a (2).mp3");
        ASSERT_TRUE(batch.run(emptyInputs(dir, {"a.wav"})));
        EXPECT_EQ(batch.count(End::Converted), 1);
        EXPECT_TRUE(batch.queue.isEmpty());
    }
    {
        // Status 0 and a record, but nothing at the name recorded: not converted, and the folder, which
        // is there, is not blamed.
        ScopedEnv ops("FAKE_TOOL_OPS", "out:working\\n;record:name 1 0\\n;exit:0");
        ASSERT_TRUE(batch.run(emptyInputs(dir, {"b.wav"})));
        ASSERT_EQ(batch.count(End::Failed), 1);
        EXPECT_EQ(batch.ended[0].reason, QStringLiteral("working"));
    }
    {
        ScopedEnv ops("FAKE_TOOL_OPS", "err:Invalid data found when processing input\\n;exit:1");
        batch.queue.clear();
        ASSERT_TRUE(batch.run(emptyInputs(dir, {"c.wav"})));
        ASSERT_EQ(batch.count(End::Failed), 1);
        EXPECT_EQ(batch.ended[0].reason, QStringLiteral("Invalid data found when processing input"));
    }
}

} // namespace
