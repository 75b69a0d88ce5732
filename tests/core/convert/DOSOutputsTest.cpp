#include "convert/DOSOutputs.h"
#include "TestSupport.h"
#include "convert/ChildReaper.h"
#include "convert/CommandLineSplit.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <pthread.h>

using namespace TestSupport;

namespace {

// Runs one command line and keeps every piece and event, in order.
struct ToolRun
{
    DOSOutputs dos;
    QStringList pieces;
    QStringList events;
    QString result;

    ToolRun()
    {
        QObject::connect(&dos, &DOSOutputs::ReceiveOutputs, [this](const QString& p) {
            pieces.append(p);
            events.append(QStringLiteral("piece"));
        });
        QObject::connect(&dos, &DOSOutputs::CommandOver, [this] { events.append(QStringLiteral("over")); });
    }

    void exec(const QString& line) { result = dos.ExecuteCommand(line.toUtf8()); }
    QString all() const { return pieces.join(QString()); }
};

QString q(const QString& path)
{
    return QString::fromUtf8(CommandLineSplit::quote(path.toUtf8()));
}

TEST(ConsoleRunner, OutputArrivesInOrderInPiecesOfAtMost1024Bytes)
{
    ProgramFolder folder;
    ToolRun run;
    run.exec(q(folder.toolPath()) + " out:first\\n bytes:5000 err:\\r[stderr]\\n sleep:50 out:last");

    ASSERT_FALSE(run.pieces.isEmpty());
    for (const QString& p : run.pieces)
        EXPECT_LE(p.toUtf8().size(), DOSOutputs::kReadSize);
    QString pattern(5000, QLatin1Char(' '));
    for (int i = 0; i < 5000; ++i)
        pattern[i] = QLatin1Char(char('a' + i % 26));
    const QString expected = "first\n" + pattern + "\r[stderr]\nlast";
    EXPECT_EQ(run.all(), expected);
    EXPECT_EQ(run.result, expected);
    EXPECT_EQ(run.dos.Outputs(), expected);
    EXPECT_EQ(run.events.count(QStringLiteral("over")), 1);
    EXPECT_EQ(run.events.last(), QStringLiteral("over"));
    EXPECT_TRUE(run.dos.lastExit().succeeded());
}

TEST(ConsoleRunner, MarkerAcrossAReadBoundaryArrivesSplit)
{
    ProgramFolder folder;
    ToolRun run;
    // One write of 1020 + 30 bytes: the first read takes 1024 and ends inside the marker.
    run.exec(q(folder.toolPath()) + " \"out:" + QString(1020, QLatin1Char('x')) + "Duration: 00:00:05.00, x\"");
    ASSERT_GE(run.pieces.size(), 2);
    EXPECT_TRUE(run.pieces[0].endsWith(QStringLiteral("Dura")));
    EXPECT_TRUE(run.pieces[1].startsWith(QStringLiteral("tion: 00:00:05.00")));
}

TEST(ConsoleRunner, ToolThatWritesNothingStillEndsWithCommandOver)
{
    ProgramFolder folder;
    ToolRun run;
    run.exec(q(folder.toolPath()) + " sleep:300");
    EXPECT_TRUE(run.pieces.isEmpty());
    EXPECT_EQ(run.events, QStringList{QStringLiteral("over")});
    EXPECT_TRUE(run.dos.lastExit().succeeded());
}

TEST(ConsoleRunner, UnstartableCommandsShowTheirMessageAndRaiseNoEvent)
{
    MsgBoxRecorder boxes;
    ProgramFolder folder;
    ToolRun run;
    run.exec(QStringLiteral("/nonexistent/data/conv.exe -i \"x.wav\""));
    run.exec(q(folder.path())); // a folder is no program
    run.exec(QStringLiteral("   "));
    run.dos.setCommandLine(QByteArray());
    run.exec(QString());

    ASSERT_EQ(boxes.shown().size(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(boxes.shown()[i].text, QStringLiteral("File or command not found"));
    EXPECT_EQ(boxes.shown()[3].text, QStringLiteral("Command Line empty"));
    for (const MsgBox::Shown& s : boxes.shown()) {
        EXPECT_EQ(s.icon, MsgBox::Icon::Critical);
        EXPECT_EQ(s.title, QStringLiteral("Veltra WMA Converter"));
    }
    EXPECT_TRUE(run.events.isEmpty());
    EXPECT_TRUE(run.result.isEmpty());
}

TEST(ConsoleRunner, ArgumentToExecuteCommandIsRunAndKept)
{
    ProgramFolder folder;
    ToolRun run;
    run.dos.setCommandLine("stored-but-replaced");
    const QString line = q(folder.toolPath()) + " out:kept";
    run.exec(line);
    EXPECT_EQ(run.all(), QStringLiteral("kept"));
    EXPECT_EQ(run.dos.CommandLine(), line.toUtf8());
    run.pieces.clear();
    run.dos.ExecuteCommand(); // the stored line runs again
    EXPECT_EQ(run.all(), QStringLiteral("kept"));
}

TEST(ConsoleRunner, ArgumentsReachTheToolExactlyWithoutAShell)
{
    ProgramFolder folder;
    const QString argsFile = folder.file("args.bin");
    const QList<QByteArray> awkward = {"with space",
                                       R"(say "hi")",
                                       R"(back\slash\)",
                                       "$(touch pwned)",
                                       "`touch pwned2`",
                                       "-leading",
                                       "a;b|c&d>e",
                                       QByteArray("\xff\xfe\xe9", 3),
                                       ""};
    QByteArray line = CommandLineSplit::quote(folder.toolPath().toUtf8());
    for (const QByteArray& a : awkward)
        line += ' ' + CommandLineSplit::quote(a);
    line += " argsto:" + CommandLineSplit::quote(argsFile.toUtf8()).mid(1).chopped(1);

    DOSOutputs dos;
    dos.ExecuteCommand(line);
    QList<QByteArray> expected = awkward;
    expected.append("argsto:" + argsFile.toUtf8());
    EXPECT_EQ(readArgs(argsFile), expected);
    EXPECT_FALSE(QFile::exists(QStringLiteral("pwned")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("pwned2")));
}

TEST(ConsoleRunner, ReportsExitStatusAndDeathBySignal)
{
    ProgramFolder folder;
    DOSOutputs dos;
    dos.ExecuteCommand(q(folder.toolPath()).toUtf8() + " exit:0");
    EXPECT_EQ(dos.lastExit().kind, DOSOutputs::ExitInfo::Kind::Exited);
    EXPECT_EQ(dos.lastExit().code, 0);
    dos.ExecuteCommand(q(folder.toolPath()).toUtf8() + " out:oops exit:1");
    EXPECT_EQ(dos.lastExit().kind, DOSOutputs::ExitInfo::Kind::Exited);
    EXPECT_EQ(dos.lastExit().code, 1);
    EXPECT_FALSE(dos.lastExit().succeeded());
    dos.ExecuteCommand(q(folder.toolPath()).toUtf8() + " kill:11");
    EXPECT_EQ(dos.lastExit().kind, DOSOutputs::ExitInfo::Kind::Signaled);
    EXPECT_EQ(dos.lastExit().code, 11);
}

TEST(ConsoleRunner, ProgramNotNamedLikeTheToolEndsWhenThePipeIsEmptyAndIsReapedLater)
{
    ProgramFolder folder;
    const QString other = folder.linkAs(QStringLiteral("other-tool"));
    const QString marker = folder.file("finished");
    ToolRun run;
    // Held until the run is over.
    run.exec(q(other) + " waitfor:" + q(folder.file("go")) + " touch " + q(marker));
    EXPECT_EQ(run.events, QStringList{QStringLiteral("over")});
    EXPECT_FALSE(QFile::exists(marker)) << "the run waited for the child";
    EXPECT_EQ(run.dos.lastExit().kind, DOSOutputs::ExitInfo::Kind::Unknown);
    EXPECT_GE(ChildReaper::pendingCount(), 1);
    release(folder.file("go"));
    EXPECT_TRUE(QTest::qWaitFor([] { return ChildReaper::pendingCount() == 0; }, 30000));
    EXPECT_TRUE(QFile::exists(marker));
}

TEST(ConsoleRunner, WindowEventsRunWhileARunWaits)
{
    ProgramFolder folder;
    ToolRun run;
    bool fired = false;
    // The tool ends only once the timer has run.
    QTimer::singleShot(30, [&] {
        fired = true;
        run.events.append(QStringLiteral("timer"));
        release(folder.file("go"));
    });
    run.exec(q(folder.toolPath()) + " waitfor:" + q(folder.file("go")));
    EXPECT_TRUE(fired);
    EXPECT_EQ(run.events, (QStringList{QStringLiteral("timer"), QStringLiteral("over")}));
}

TEST(ConsoleRunner, CommandOverHandlerMayStartTheNextRun)
{
    ProgramFolder folder;
    DOSOutputs dos;
    QStringList seen;
    int overs = 0;
    QObject::connect(&dos, &DOSOutputs::ReceiveOutputs, [&](const QString& p) { seen.append(p); });
    QObject::connect(&dos, &DOSOutputs::CommandOver, [&] {
        if (++overs == 1)
            dos.ExecuteCommand(q(folder.toolPath()).toUtf8() + " out:second");
    });
    const QString result = dos.ExecuteCommand(q(folder.toolPath()).toUtf8() + " out:first");
    EXPECT_EQ(seen, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    EXPECT_EQ(overs, 2);
    EXPECT_EQ(result, QStringLiteral("second")) << "the outer run returns what the last inner run read";
}

TEST(ConsoleRunner, TheToolLeadsAProcessGroupOfItsOwnWithNoSignalBlocked)
{
    ProgramFolder folder;
    // A mask the program happens to have blocked must not reach the tool.
    sigset_t usr1;
    sigset_t old;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, &old);
    DOSOutputs dos;
    dos.ExecuteCommand(q(folder.toolPath()).toUtf8() + " groupto:" + q(folder.file("group.txt")).toUtf8());
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    QFile f(folder.file("group.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "leader");
    EXPECT_EQ(lines[1].simplified(), "SigBlk: 0000000000000000");
}

TEST(ConsoleRunner, StopEndsTheToolAndRaisesNoCommandOver)
{
    ProgramFolder folder;
    ToolRun run;
    ASSERT_TRUE(
        run.dos.Start(q(folder.toolPath()).toUtf8() + " out:working waitfor:" + q(folder.file("never")).toUtf8()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !run.pieces.isEmpty(); }, 30000));
    const pid_t pid = run.dos.processId();
    bool ended = false;
    DOSOutputs::ExitInfo how;
    QSignalSpy stopped(&run.dos, &DOSOutputs::Stopped);
    run.dos.Stop([&](DOSOutputs::ExitInfo e) {
        ended = true;
        how = e;
    });
    EXPECT_FALSE(run.dos.isRunning());
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }, 30000)) << "the tool did not end";
    EXPECT_EQ(how.kind, DOSOutputs::ExitInfo::Kind::Signaled);
    EXPECT_EQ(how.code, SIGTERM);
    EXPECT_NE(::kill(pid, 0), 0) << "reaped";
    EXPECT_FALSE(run.events.contains(QStringLiteral("over")));
}

TEST(ConsoleRunner, TheRecordPipeIsGivenOnlyWhenAskedForAndItsLinesReachTheCaller)
{
    ProgramFolder folder;
    const QByteArray tool = q(folder.toolPath()).toUtf8();
    const QByteArray state = q(folder.file("state")).toUtf8();
    const auto stateSeen = [&] {
        QFile f(folder.file("state"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    {
        // A variable the program inherited asks nothing of a tool the runner gives no pipe.
        ScopedEnv inherited("VELTRA_TOOL_RECORD", "3");
        DOSOutputs dos;
        dos.ExecuteCommand(tool + " recordto:" + state);
        EXPECT_TRUE(stateSeen().startsWith("not asked ")) << stateSeen().toStdString();
        EXPECT_TRUE(dos.records().isEmpty());
    }
    DOSOutputs dos;
    dos.setToolRecord(true);
    QList<ToolRecord::Entry> handed;
    QObject::connect(&dos, &DOSOutputs::Recorded, [&](const ToolRecord::Entry& e) { handed.append(e); });
    // Unknown lines are skipped; a line cut by the end of the tool is not a record.
    dos.ExecuteCommand(tool + " recordto:" + state + " \"record:progress 5\\nname 2 1\\nend 0\\nname 3\"");
    EXPECT_EQ(stateSeen(), "asked open");
    ASSERT_EQ(dos.records().size(), 2);
    EXPECT_EQ(dos.records()[0].kind, ToolRecord::Entry::Kind::Name);
    EXPECT_EQ(dos.records()[0].counter, 2);
    EXPECT_TRUE(dos.records()[0].mapped);
    EXPECT_EQ(dos.records()[1].kind, ToolRecord::Entry::Kind::End);
    EXPECT_EQ(handed.size(), 2);
    // The next run starts with none.
    dos.ExecuteCommand(tool + " exit:0");
    EXPECT_TRUE(dos.records().isEmpty());
}

TEST(ConsoleRunner, OnlyTheToolsOwnProcessGroupHoldsTheEndNeverAnotherConvExe)
{
    ProgramFolder folder;
    // Somebody else's conv.exe, stopped, never ends by itself.
    QProcess stranger;
    stranger.start(folder.toolPath(), {QStringLiteral("waitfor:") + folder.file("never")});
    ASSERT_TRUE(stranger.waitForStarted());
    ::kill(pid_t(stranger.processId()), SIGSTOP);
    const QByteArray tool = q(folder.toolPath()).toUtf8();
    ToolRun run;
    QSignalSpy over(&run.dos, &DOSOutputs::CommandOver);
    ASSERT_TRUE(run.dos.Start(tool + " exit:0"));
    EXPECT_TRUE(over.wait(60000)) << "another program's tool held the run";

    // A process the tool started under its own name, in its group, is waited for: here it is held until
    // the tool itself has ended and been reaped.
    const QString go = folder.file("go");
    ASSERT_TRUE(run.dos.Start(tool + " childuntil:" + q(go).toUtf8() + " exit:0"));
    const pid_t leader = run.dos.processId();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ::kill(leader, 0) != 0 && pidsIn(go + ".pid").size() == 1; }, 30000))
        << "the tool was not reaped";
    EXPECT_EQ(over.count(), 1);
    EXPECT_TRUE(run.dos.isRunning());
    release(go);
    EXPECT_TRUE(over.wait(60000));
    EXPECT_EQ(over.count(), 2);
    EXPECT_TRUE(run.dos.lastExit().succeeded());
    ::kill(pid_t(stranger.processId()), SIGKILL);
    stranger.waitForFinished();
}

TEST(ConsoleRunner, RealToolConvertsAWavIntoAnMp3AndReportsProgressMarkers)
{
    const QString tool = buildProgramFolder() + QStringLiteral("/data/conv.exe");
    ASSERT_TRUE(QFile::exists(tool));
    QTemporaryDir work;
    const QString wav = work.filePath(QStringLiteral("tone.wav"));
    const QString mp3 = work.filePath(QStringLiteral("tone.mp3"));
    ASSERT_TRUE(makeTone(wav, 3));
    ToolRun run;
    run.exec(q(tool) + " -i " + q(wav) + " -y -vn -ab 192k -ar 44100 -ac 2 " + q(mp3));
    EXPECT_TRUE(run.dos.lastExit().succeeded()) << run.all().toStdString();
    EXPECT_TRUE(run.all().contains(QStringLiteral("Duration: ")));
    EXPECT_TRUE(run.all().contains(QStringLiteral("time=")));
    EXPECT_EQ(probe(mp3, QStringLiteral("codec_name")), QStringLiteral("mp3"));
    EXPECT_EQ(probe(mp3, QStringLiteral("sample_rate")), QStringLiteral("44100"));
}

} // namespace
