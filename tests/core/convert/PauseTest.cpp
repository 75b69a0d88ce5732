// Holding a running tool and letting it go on, through either runner: the real tool on a long file.
#include "TestSupport.h"
#include "convert/CommandBuilder.h"
#include "convert/DOSOutputs.h"
#include "convert/ToolWorker.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

using namespace TestSupport;

namespace {

// The state letter and the CPU time (user + system, in clock ticks) of a process; state 0 when it is gone.
struct Sample
{
    char state = 0;
    long long ticks = -1;
};

Sample sample(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = f.readAll();
    // After the name, which may hold anything up to its last ")": state, then utime and stime 11 and 12
    // fields on.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13 || fields[0].isEmpty())
        return {};
    return {fields[0][0], fields[11].toLongLong() + fields[12].toLongLong()};
}

QStringList partFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part-*")}, QDir::Files | QDir::Hidden);
}

class Pausing : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        // Long enough that the tool is still converting when it is held, at any machine's speed.
        ASSERT_TRUE(makeTone(s_dir->filePath(QStringLiteral("long.wav")), 120));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    QList<QByteArray> command(const QString& output) const
    {
        CommandBuilder::Request r;
        r.programFolder = buildProgramFolder();
        r.inputPath = s_dir->filePath(QStringLiteral("long.wav"));
        r.formatIndex = 0;
        r.bitrate = QStringLiteral("192");
        r.sampleRate = QStringLiteral("44100");
        r.outputPath = out.filePath(output);
        return CommandBuilder::BuildArguments(r);
    }

    static std::unique_ptr<ToolRunner> runner(bool worker)
    {
        if (worker)
            return std::make_unique<ToolWorker>();
        return std::make_unique<DOSOutputs>();
    }

    // Starts the long file and holds the tool once its part file is there; its pid, or -1.
    pid_t startHeld(ToolRunner& r, const QString& output)
    {
        if (!r.Start(command(output)) || !QTest::qWaitFor([&] { return !partFiles(out.path()).isEmpty(); }, 60000) ||
            !r.Pause())
            return -1;
        const pid_t pid = r.processId();
        return QTest::qWaitFor([&] { return sample(pid).state == 'T'; }, 30000) ? pid : -1;
    }

    static QTemporaryDir* s_dir;
    QTemporaryDir out;
};

QTemporaryDir* Pausing::s_dir = nullptr;

TEST_F(Pausing, AHeldToolUsesNoCpuAndFinishesItsFileWholeAfterResume)
{
    for (const bool worker : {false, true}) {
        SCOPED_TRACE(worker ? "worker" : "one process per file");
        const auto r = runner(worker);
        QSignalSpy over(r.get(), &ToolRunner::CommandOver);
        const QString name = worker ? QStringLiteral("worker.mp3") : QStringLiteral("single.mp3");
        const pid_t pid = startHeld(*r, name);
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(r->isPaused());
        const QStringList parts = partFiles(out.path());
        ASSERT_EQ(parts.size(), 1) << "held half-way through its file";
        const qint64 partSize = QFileInfo(out.filePath(parts[0])).size();
        const Sample held = sample(pid);
        const qsizetype read = r->Outputs().size();
        // Whatever the tool did in this second would show in its CPU time, its console or its part file.
        QTest::qWait(1000);
        EXPECT_EQ(sample(pid).ticks, held.ticks);
        EXPECT_EQ(sample(pid).state, 'T');
        EXPECT_EQ(r->Outputs().size(), read);
        EXPECT_EQ(QFileInfo(out.filePath(parts[0])).size(), partSize);
        EXPECT_EQ(over.count(), 0);

        ASSERT_TRUE(r->Resume());
        EXPECT_FALSE(r->isPaused());
        EXPECT_FALSE(r->Resume()) << "nothing held any more";
        ASSERT_TRUE(over.count() > 0 || over.wait(120000));
        EXPECT_TRUE(r->lastExit().succeeded()) << r->Outputs().toStdString();
        EXPECT_NEAR(probe(out.filePath(name), QStringLiteral("duration")).toDouble(), 120.0, 0.1);
        EXPECT_TRUE(partFiles(out.path()).isEmpty());
    }
}

TEST_F(Pausing, StopWhileHeldEndsTheToolThroughItsOwnHandlerAndLeavesNoPartFile)
{
    for (const bool worker : {false, true}) {
        SCOPED_TRACE(worker ? "worker" : "one process per file");
        const auto r = runner(worker);
        QSignalSpy over(r.get(), &ToolRunner::CommandOver);
        const pid_t pid = startHeld(*r, QStringLiteral("stopped.mp3"));
        ASSERT_GT(pid, 0);
        ASSERT_EQ(partFiles(out.path()).size(), 1);
        bool ended = false;
        ToolRunner::ExitInfo how;
        r->Stop([&](ToolRunner::ExitInfo e) {
            ended = true;
            how = e;
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 30000));
        // SIGTERM reached the tool's handler, which removed its part file: not the SIGKILL that follows
        // two seconds later for a tool that does not end.
        EXPECT_EQ(how.kind, ToolRunner::ExitInfo::Kind::Exited);
        EXPECT_EQ(how.code, 128 + SIGTERM);
        EXPECT_TRUE(partFiles(out.path()).isEmpty());
        EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("stopped.mp3"))));
        EXPECT_EQ(over.count(), 0);
    }
}

TEST_F(Pausing, ARunnerThatLetsItsToolGoNeverLeavesItHeld)
{
    // Closed (the worker) or dropped (one process per file): the tool goes on and finishes its file.
    for (const bool worker : {false, true}) {
        SCOPED_TRACE(worker ? "worker" : "one process per file");
        auto r = runner(worker);
        const QString name = worker ? QStringLiteral("closed.mp3") : QStringLiteral("dropped.mp3");
        const pid_t pid = startHeld(*r, name);
        ASSERT_GT(pid, 0);
        if (worker)
            static_cast<ToolWorker&>(*r).Close();
        r.reset();
        EXPECT_TRUE(QTest::qWaitFor([&] { return sample(pid).state == 0; }, 120000)) << "still held";
        EXPECT_NEAR(probe(out.filePath(name), QStringLiteral("duration")).toDouble(), 120.0, 0.1);
    }
}

} // namespace
