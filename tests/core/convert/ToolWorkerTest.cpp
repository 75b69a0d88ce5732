// Our own tool kept as one process that converts job after job, and the handshake that chooses it.
#include "convert/ToolWorker.h"
#include "TestSupport.h"
#include "convert/ChildReaper.h"
#include "convert/CommandBuilder.h"
#include "convert/PartFileSweep.h"
#include "convert/ToolHandshake.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

QList<QByteArray> commandLine(const QString& input, const QString& output, int format = 0)
{
    CommandBuilder::Request r;
    r.programFolder = buildProgramFolder();
    r.inputPath = input;
    r.formatIndex = format;
    r.bitrate = QStringLiteral("192");
    r.sampleRate = QStringLiteral("44100");
    r.channelIndex = 1;
    r.outputPath = output;
    return CommandBuilder::BuildArguments(r);
}

// Runs one job to its end; false when it did not end in time.
bool runJob(ToolWorker& worker, const QList<QByteArray>& line)
{
    QSignalSpy over(&worker, &ToolWorker::CommandOver);
    if (!worker.Start(line))
        return false;
    return over.wait(60000);
}

QStringList partFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part-*")}, QDir::Files | QDir::Hidden);
}

bool gone(pid_t pid)
{
    return QTest::qWaitFor([&] { return ::kill(pid, 0) != 0 && ChildReaper::pendingCount() == 0; }, 30000);
}

qint64 residentKiB(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

class ToolWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(makeTone(path("short.wav"), 0.5));
    }
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    QTemporaryDir m_dir;
};

} // namespace

TEST(ToolHandshakeTest, OnlyOurOwnToolAnswers)
{
    EXPECT_TRUE(ToolHandshake::Answers(QFile::encodeName(buildProgramFolder() + QStringLiteral("/data/conv.exe"))));
    EXPECT_FALSE(ToolHandshake::Answers(QFile::encodeName(fakeToolPath())));
    EXPECT_FALSE(ToolHandshake::Answers("ffmpeg"));
    EXPECT_FALSE(ToolHandshake::Answers("/nonexistent/conv.exe"));
    // Silent and never ending by itself: given up on, and ended and reaped. (Had the handshake waited for
    // its end, the test would run into its time-out.)
    QTemporaryDir dir;
    const QString silent = dir.path() + QStringLiteral("/conv.exe");
    QFile script(silent);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexec sleep 600\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QList<qint64> before = childProcesses();
    EXPECT_FALSE(ToolHandshake::Answers(QFile::encodeName(silent)));
    for (qint64 child : childProcesses())
        EXPECT_TRUE(before.contains(child)) << "the silent tool " << child << " was left running, or unreaped";
}

TEST_F(ToolWorkerTest, AFailedJobGivesItsReasonAndTheNextJobsConvertInAFreshProcess)
{
    ToolWorker worker;
    ASSERT_TRUE(runJob(worker, commandLine(path("missing.wav"), path("bad.mp3"))));
    EXPECT_FALSE(worker.lastExit().succeeded());
    // The reason is the last console line, read before the end was acted on.
    EXPECT_TRUE(worker.Outputs().trimmed().endsWith(QStringLiteral("No such file or directory")))
        << worker.Outputs().toStdString();
    EXPECT_EQ(worker.processId(), -1);

    ASSERT_TRUE(runJob(worker, commandLine(path("short.wav"), path("a.mp3"))));
    EXPECT_TRUE(worker.lastExit().succeeded());
    const pid_t pid = worker.processId();
    EXPECT_GT(pid, 0);
    EXPECT_TRUE(worker.Outputs().contains(QStringLiteral("Duration: ")));
    ASSERT_EQ(worker.records().size(), 1);
    ASSERT_TRUE(runJob(worker, commandLine(path("short.wav"), path("b.mp3"))));
    EXPECT_TRUE(worker.lastExit().succeeded());
    EXPECT_EQ(worker.processId(), pid);
    EXPECT_EQ(worker.jobsInProcess(), 2);
    EXPECT_GT(QFileInfo(path("a.mp3")).size(), 0);
    EXPECT_EQ(QFileInfo(path("a.mp3")).size(), QFileInfo(path("b.mp3")).size());

    worker.Close();
    EXPECT_TRUE(gone(pid)) << "a closed worker's tool must end and be reaped";
}

TEST_F(ToolWorkerTest, AToolProcessIsReplacedAfterTheBoundedNumberOfJobs)
{
    ToolWorker worker;
    worker.setMaxJobs(2);
    QList<pid_t> pids;
    for (int i = 0; i < 4; ++i) {
        const pid_t before = worker.processId();
        ASSERT_TRUE(runJob(worker, commandLine(path("short.wav"), path(QStringLiteral("%1.mp3").arg(i)))));
        EXPECT_TRUE(worker.lastExit().succeeded());
        pids.append(before);
    }
    // Jobs 1 and 3 found no process; job 2 the first one's; job 4 the second one's.
    EXPECT_EQ(pids[0], -1);
    EXPECT_GT(pids[1], 0);
    EXPECT_EQ(pids[2], -1);
    EXPECT_GT(pids[3], 0);
    EXPECT_NE(pids[1], pids[3]);
}

TEST_F(ToolWorkerTest, AWorkerKilledMidJobFailsThatFileWithTheSignalAndTheNextFileConverts)
{
    ASSERT_TRUE(makeTone(path("long.wav"), 600));
    ToolWorker worker;
    QSignalSpy over(&worker, &ToolWorker::CommandOver);
    ASSERT_TRUE(worker.Start(commandLine(path("long.wav"), path("long.mp3"))));
    const pid_t pid = worker.processId();
    ASSERT_TRUE(QTest::qWaitFor([&] { return worker.Outputs().contains(QStringLiteral("time=")); }, 20000));
    ASSERT_FALSE(partFiles(m_dir.path()).isEmpty());
    // SIGKILL, not SIGSEGV: under AddressSanitizer a segmentation fault becomes an ordinary exit.
    ::kill(pid, SIGKILL);
    ASSERT_TRUE(over.wait(10000));
    EXPECT_EQ(worker.lastExit().kind, ToolWorker::ExitInfo::Kind::Signaled);
    EXPECT_EQ(worker.lastExit().code, SIGKILL);
    // What the batch does with a tool that could not clean up.
    PartFileSweep::RemoveOwnedBy(QFile::encodeName(m_dir.path()), pid);
    EXPECT_TRUE(partFiles(m_dir.path()).isEmpty());
    EXPECT_FALSE(QFile::exists(path("long.mp3")));

    ASSERT_TRUE(runJob(worker, commandLine(path("short.wav"), path("next.mp3"))));
    EXPECT_TRUE(worker.lastExit().succeeded());
    EXPECT_NE(worker.processId(), pid);
    EXPECT_TRUE(QFile::exists(path("next.mp3")));
}

TEST_F(ToolWorkerTest, StopEndsTheWorkerBySigtermThroughItsOwnHandlerAndLeavesNothing)
{
    ASSERT_TRUE(makeTone(path("long.wav"), 600));
    ToolWorker worker;
    ASSERT_TRUE(runJob(worker, commandLine(path("short.wav"), path("first.mp3"))));
    QSignalSpy over(&worker, &ToolWorker::CommandOver);
    ASSERT_TRUE(worker.Start(commandLine(path("long.wav"), path("long.mp3"))));
    const pid_t pid = worker.processId();
    ASSERT_TRUE(QTest::qWaitFor([&] { return worker.Outputs().contains(QStringLiteral("time=")); }, 30000));
    bool ended = false;
    ToolWorker::ExitInfo how;
    worker.Stop([&](ToolWorker::ExitInfo e) {
        ended = true;
        how = e;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 30000));
    // The tool's stop handler removed its part file and exited with 128 + the signal: SIGTERM did it, not
    // the SIGKILL that would have followed two seconds later.
    EXPECT_EQ(how.kind, ToolWorker::ExitInfo::Kind::Exited);
    EXPECT_EQ(how.code, 128 + SIGTERM);
    EXPECT_EQ(over.count(), 0);
    EXPECT_TRUE(gone(pid));
    EXPECT_TRUE(partFiles(m_dir.path()).isEmpty());
    EXPECT_FALSE(QFile::exists(path("long.mp3")));
}

TEST_F(ToolWorkerTest, ThreeHundredJobsDoNotGrowTheWorkersMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "resident memory means nothing under AddressSanitizer";
#endif
    ASSERT_TRUE(makeTone(path("tiny.wav"), 0.1));
    ToolWorker worker;
    worker.setMaxJobs(1000);
    qint64 early = -1;
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(runJob(worker, commandLine(path("tiny.wav"), path(QStringLiteral("t%1.mp3").arg(i % 2)))));
        ASSERT_TRUE(worker.lastExit().succeeded()) << worker.Outputs().toStdString();
        QFile::remove(path(QStringLiteral("t%1.mp3").arg(i % 2)));
        if (i == 49)
            early = residentKiB(worker.processId());
    }
    const qint64 late = residentKiB(worker.processId());
    ASSERT_GT(early, 0);
    EXPECT_LT(late - early, 2048) << "resident " << early << " KiB after 50 jobs, " << late << " KiB after 300";
}
