#include "DOSOutputs.h"

#include "ChildReaper.h"
#include "CommandLineSplit.h"
#include "ProcessLookup.h"
#include "clsWaitableTimer.h"
#include "ui/MsgBox.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// One run's operating-system handles; closed in one place whatever way the run ends.
struct RunHandles
{
    int readFd = -1;
    int pidFd = -1;
    pid_t pid = -1;
    bool reaped = false;

    RunHandles() = default;
    RunHandles(const RunHandles&) = delete;
    RunHandles& operator=(const RunHandles&) = delete;
    ~RunHandles() { close(); }

    void close()
    {
        if (readFd >= 0)
            ::close(readFd);
        if (pid > 0 && !reaped)
            ChildReaper::reapLater(pid, pidFd);
        else if (pidFd >= 0)
            ::close(pidFd);
        readFd = -1;
        pidFd = -1;
        pid = -1;
    }
};

QByteArray imageNameOf(const QByteArray& program)
{
    const qsizetype slash = program.lastIndexOf('/');
    return slash < 0 ? program : program.mid(slash + 1);
}

} // namespace

DOSOutputs::DOSOutputs(QObject* parent) : QObject(parent), m_decoder(QStringDecoder::Utf8) {}

DOSOutputs::~DOSOutputs() = default;

bool DOSOutputs::IsProcessRunning(const QString& imageName)
{
    return ProcessLookup::IsProcessRunning(imageName);
}

QString DOSOutputs::ExecuteCommand(const QByteArray& CommandLine)
{
    if (!CommandLine.isEmpty())
        m_commandLine = CommandLine;
    if (m_commandLine.isEmpty()) {
        MsgBox::show(QStringLiteral("Command Line empty"), MsgBox::Icon::Critical);
        return {};
    }

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        MsgBox::show(QStringLiteral("CreatePipe failed. Error: ") + QString::number(errno), MsgBox::Icon::Critical);
        return {};
    }

    const QList<QByteArray> args = CommandLineSplit::split(m_commandLine);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    int spawnError = ENOENT;
    if (!args.isEmpty()) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        spawnError = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    ::close(fds[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        MsgBox::show(QStringLiteral("File or command not found"), MsgBox::Icon::Critical);
        return {};
    }

    RunHandles run;
    run.readFd = fds[0];
    run.pid = pid;
    run.pidFd = ChildReaper::openPidFd(pid);
    ::fcntl(run.readFd, F_SETFL, ::fcntl(run.readFd, F_GETFL) | O_NONBLOCK);

    m_outputs.clear();
    m_decoder = QStringDecoder(QStringDecoder::Utf8);
    m_lastExit = ExitInfo{};
    const bool childIsTool = imageNameOf(args.first()).toLower() == kToolImageName;

    auto reapChild = [&] {
        if (run.reaped)
            return;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(run.pid, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == run.pid) {
            run.reaped = true;
            if (WIFEXITED(status))
                m_lastExit = {ExitInfo::Kind::Exited, WEXITSTATUS(status)};
            else if (WIFSIGNALED(status))
                m_lastExit = {ExitInfo::Kind::Signaled, WTERMSIG(status)};
        } else if (r < 0) {
            run.reaped = true; // not ours to wait for any more
        }
    };

    // The pause after a pass ends early when there is something to do: output, end of the pipe, or the
    // child's exit. Otherwise each file would wait out a full pause after the tool has ended.
    std::optional<clsWaitableTimer> pause;
    std::optional<QSocketNotifier> pipeReady;
    pipeReady.emplace(run.readFd, QSocketNotifier::Read);
    connect(&*pipeReady, &QSocketNotifier::activated, this, [&] {
        int waiting = 0;
        if (::ioctl(run.readFd, FIONREAD, &waiting) == 0 && waiting == 0)
            pipeReady->setEnabled(false); // end of file: readable for ever, nothing to wait for
        if (pause)
            pause->Wake();
    });
    std::optional<QSocketNotifier> childEnded;
    if (run.pidFd >= 0) {
        childEnded.emplace(run.pidFd, QSocketNotifier::Read);
        connect(&*childEnded, &QSocketNotifier::activated, this, [&] {
            childEnded->setEnabled(false);
            if (pause)
                pause->Wake();
        });
    }

    char buffer[kReadSize];
    bool going = true;
    while (going) {
        int waiting = 0;
        if (::ioctl(run.readFd, FIONREAD, &waiting) != 0)
            waiting = -1; // an unknown count is not zero: let the read tell
        if (waiting != 0) {
            ssize_t n;
            do {
                n = ::read(run.readFd, buffer, sizeof buffer);
            } while (n < 0 && errno == EINTR);
            if (n > 0) {
                const QString piece = m_decoder.decode(QByteArrayView(buffer, n));
                m_outputs += piece;
                emit ReceiveOutputs(piece);
            } else if (n < 0 && errno != EAGAIN) {
                going = false;
                emit ReceiveOutputs(QString());
            }
        } else {
            reapChild();
            // While our own child is the tool and still alive the answer is known without a walk.
            const bool ownToolAlive = childIsTool && !run.reaped;
            if (!ownToolAlive && !IsProcessRunning(QString::fromLatin1(kToolImageName)))
                going = false;
        }
        QCoreApplication::processEvents();
        if (!going)
            break;
        if (!pause)
            pause.emplace();
        pause->Wait(kPauseMs);
    }

    reapChild();
    pipeReady.reset();
    childEnded.reset();
    pause.reset();
    run.close();
    emit CommandOver();
    return m_outputs;
}
