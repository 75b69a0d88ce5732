#include "convert/ProcessLookup.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void fakeProcess(const QTemporaryDir& root, const QString& pid, const QByteArray& stat)
{
    QDir(root.path()).mkpath(pid);
    QFile f(root.path() + QLatin1Char('/') + pid + QStringLiteral("/stat"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(stat);
}

TEST(ProcessLookup, ReadsNameAndStateEvenWithParenthesesAndSpacesInTheName)
{
    QByteArray name;
    char state = 0;
    ASSERT_TRUE(ProcessLookup::parseStat("4242 (my (odd) tool) S 1 2 3", &name, &state));
    EXPECT_EQ(name, "my (odd) tool");
    EXPECT_EQ(state, 'S');
    EXPECT_FALSE(ProcessLookup::parseStat("garbage", &name, &state));
    EXPECT_FALSE(ProcessLookup::parseStat("12 (cut", &name, &state));
}

TEST(ProcessLookup, MatchesWholeNamesCaseInsensitivelyAndSkipsEndedProcesses)
{
    QTemporaryDir proc;
    fakeProcess(proc, "10", "10 (CONV.EXE) S 1");
    fakeProcess(proc, "11", "11 (conv.exe.bak) S 1");
    fakeProcess(proc, "12", "12 (myconv.exe) R 1");
    fakeProcess(proc, "13", "13 (zombie.exe) Z 1");
    fakeProcess(proc, "self", "99 (ghost.exe) S 1"); // not a process number
    EXPECT_TRUE(ProcessLookup::IsProcessRunning(QStringLiteral("conv.exe"), proc.path()));
    EXPECT_TRUE(ProcessLookup::IsProcessRunning(QStringLiteral("Conv.Exe"), proc.path()));
    EXPECT_FALSE(ProcessLookup::IsProcessRunning(QStringLiteral("conv"), proc.path()));
    EXPECT_FALSE(ProcessLookup::IsProcessRunning(QStringLiteral("zombie.exe"), proc.path()));
    EXPECT_FALSE(ProcessLookup::IsProcessRunning(QStringLiteral("ghost.exe"), proc.path()));
    EXPECT_FALSE(ProcessLookup::IsProcessRunning(QStringLiteral("conv.exe"), proc.path() + "/missing"));
}

TEST(ProcessLookup, AGroupSeesOnlyItsOwnMembers)
{
    QTemporaryDir proc;
    fakeProcess(proc, "20", "20 (conv.exe) T 1 20 20 0");  // a stopped tool of another program
    fakeProcess(proc, "31", "31 (conv.exe) S 30 30 30 0"); // the child of our tool, in its group
    fakeProcess(proc, "32", "32 (conv.exe) Z 30 32 30 0"); // ended, in a group of its own
    fakeProcess(proc, "33", "33 (conv.exe)");              // no group to read
    EXPECT_TRUE(ProcessLookup::IsProcessRunningInGroup(QStringLiteral("conv.exe"), 30, proc.path()));
    EXPECT_FALSE(ProcessLookup::IsProcessRunningInGroup(QStringLiteral("conv.exe"), 32, proc.path()));
    EXPECT_FALSE(ProcessLookup::IsProcessRunningInGroup(QStringLiteral("conv.exe"), 40, proc.path()));
    EXPECT_FALSE(ProcessLookup::IsProcessRunningInGroup(QStringLiteral("conv.exe"), 0, proc.path()));
    pid_t group = 0;
    QByteArray name;
    char state = 0;
    ASSERT_TRUE(ProcessLookup::parseStat("31 (a) b) S 30 29 28", &name, &state, &group));
    EXPECT_EQ(group, 29);
    EXPECT_FALSE(ProcessLookup::parseStat("31 (a) S 30", &name, &state, &group));
}

TEST(ProcessLookup, AGroupOfRealToolsCountsUntilItsLastMemberHasEnded)
{
    // Two tools in one process group, as a tool and the process it handed its work to; each is held
    // until the test lets it go.
    TestSupport::ProgramFolder folder;
    QProcess leader;
    QProcess member;
    leader.setChildProcessModifier([] { ::setpgid(0, 0); });
    leader.start(folder.toolPath(), {QStringLiteral("waitfor:") + folder.file("leader-go")});
    ASSERT_TRUE(leader.waitForStarted());
    const pid_t group = pid_t(leader.processId());
    member.setChildProcessModifier([group] { ::setpgid(0, group); });
    member.start(folder.toolPath(), {QStringLiteral("waitfor:") + folder.file("member-go")});
    ASSERT_TRUE(member.waitForStarted());
    ASSERT_EQ(::getpgid(pid_t(member.processId())), group);

    // A group of its own running the same program under another name holds no tool.
    QProcess other;
    other.setChildProcessModifier([] { ::setpgid(0, 0); });
    other.start(folder.linkAs(QStringLiteral("other-tool")), {QStringLiteral("waitfor:") + folder.file("other-go")});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ::getpgid(pid_t(other.processId())) == pid_t(other.processId()); }, 30000));

    EXPECT_TRUE(ProcessLookup::IsProcessRunningInGroup(QStringLiteral("conv.exe"), group));
    EXPECT_TRUE(ProcessLookup::IsProcessRunning(QStringLiteral("conv.exe")));
    EXPECT_FALSE(ProcessLookup::IsProcessRunningInGroup(QStringLiteral("conv.exe"), pid_t(other.processId())));
    TestSupport::release(folder.file("other-go"));
    ASSERT_TRUE(other.waitForFinished(60000));
    // The leader ends and is reaped: its group lives on in the member.
    TestSupport::release(folder.file("leader-go"));
    ASSERT_TRUE(leader.waitForFinished(60000));
    EXPECT_TRUE(ProcessLookup::IsProcessRunningInGroup(QStringLiteral("conv.exe"), group));
    TestSupport::release(folder.file("member-go"));
    ASSERT_TRUE(member.waitForFinished(60000));
    EXPECT_FALSE(ProcessLookup::IsProcessRunningInGroup(QStringLiteral("conv.exe"), group));
}

} // namespace
