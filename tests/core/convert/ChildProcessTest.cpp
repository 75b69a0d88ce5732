// What every child the program starts can count on: its own descriptors and nothing else of the
// program's, a process group of its own, and a failure to start that says why and leaks nothing.
#include "convert/ChildProcess.h"
#include "convert/ChildReaper.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Everything the child writes on its console until the pipe's end.
QByteArray consoleOf(const ChildProcess& child)
{
    QByteArray all;
    for (;;) {
        pollfd p{child.console(), POLLIN, 0};
        if (::poll(&p, 1, 20000) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::read(child.console(), buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        all.append(buffer, n);
    }
    return all;
}

QStringList programDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

// Running, as opposed to gone or a zombie nobody reaped yet.
bool alive(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

std::unique_ptr<ChildProcess> shell(const QByteArray& script, ChildProcess::Input input = ChildProcess::Input::Nothing,
                                    bool record = false)
{
    return ChildProcess::Spawn({{"sh", "-c", script}, {}, input, ChildProcess::Errors::Console, record});
}

TEST(ChildProcess, TheChildHoldsItsOwnEndsAndNoOtherDescriptorOfTheProgram)
{
    const QStringList before = programDescriptors();
    {
        // A descriptor the program holds without close-on-exec, and another child's pipes and socket.
        const int stray = ::open("/dev/null", O_RDONLY);
        ASSERT_GE(stray, 0);
        const auto other = shell("read x", ChildProcess::Input::Socket, true);
        ASSERT_TRUE(other);

        const QByteArray list = "ls /proc/$$/fd; readlink /proc/$$/fd/0; echo on-the-console >&2";
        const auto plain = shell(list);
        ASSERT_TRUE(plain);
        EXPECT_EQ(consoleOf(*plain).toStdString(), "0\n1\n2\n/dev/null\non-the-console\n");
        const auto recorded = shell(list, ChildProcess::Input::Nothing, true);
        ASSERT_TRUE(recorded);
        EXPECT_EQ(consoleOf(*recorded).toStdString(), "0\n1\n2\n3\n/dev/null\non-the-console\n");
        ::close(stray);
    }
    // The children go with their ends closed: the one reading its socket sees the end and exits.
    EXPECT_TRUE(QTest::qWaitFor([] { return ChildReaper::pendingCount() == 0; }, 20000));
    EXPECT_EQ(programDescriptors(), before);
}

TEST(ChildProcess, TheChildLeadsAGroupOfItsOwnThatStopEndsWithWhatItStarted)
{
    const auto child = shell("sleep 60 & echo $!; wait");
    ASSERT_TRUE(child);
    QByteArray line;
    char c;
    while (!line.endsWith('\n')) {
        pollfd p{child->console(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 20000), 1);
        ASSERT_EQ(::read(child->console(), &c, 1), 1);
        line.append(c);
    }
    const pid_t started = pid_t(line.trimmed().toLong());
    EXPECT_EQ(::getpgid(child->pid()), child->pid());
    EXPECT_NE(::getpgid(child->pid()), ::getpgrp());
    EXPECT_EQ(::getpgid(started), child->pid());

    int status = 0;
    bool ended = false;
    child->stop(2000, [&](int s) {
        status = s;
        ended = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 20000));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alive(started); }, 20000)) << "the group's other process lives on";
}

TEST(ChildProcess, ASpawnThatFailsSaysWhyAndLeavesNoDescriptorOpen)
{
    QTemporaryDir dir;
    const QByteArray notExecutable = QFile::encodeName(dir.filePath(QStringLiteral("plain")));
    const QByteArray noFormat = QFile::encodeName(dir.filePath(QStringLiteral("garbage")));
    for (const QByteArray& path : {notExecutable, noFormat}) {
        QFile f(QFile::decodeName(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x01\x02 not a program\n");
    }
    QFile::setPermissions(QFile::decodeName(noFormat), QFile::ReadOwner | QFile::ExeOwner);

    const QStringList before = programDescriptors();
    const struct
    {
        QList<QByteArray> arguments;
        int error;
    } cases[] = {
        {{}, ENOENT},
        {{"/nonexistent/data/conv.exe", "-i", "x.wav"}, ENOENT},
        {{"no-such-program-on-any-path"}, ENOENT},
        {{QFile::encodeName(dir.path())}, EACCES},
        {{notExecutable}, EACCES},
        {{noFormat}, ENOEXEC},
    };
    for (const auto& c : cases) {
        ChildProcess::Failure failure;
        for (const bool record : {false, true}) {
            EXPECT_FALSE(ChildProcess::Spawn(
                {c.arguments, {}, ChildProcess::Input::Socket, ChildProcess::Errors::Console, record}, &failure))
                << c.arguments.value(0).toStdString();
            EXPECT_EQ(failure.step, ChildProcess::Failure::Step::Spawn);
            EXPECT_EQ(failure.error, c.error) << c.arguments.value(0).toStdString();
            EXPECT_EQ(failure.text(), QStringLiteral("File or command not found"));
        }
    }
    EXPECT_EQ(programDescriptors(), before);
}

} // namespace
