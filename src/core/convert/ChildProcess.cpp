#include "ChildProcess.h"

#include "ChildReaper.h"
#include "ToolJobs.h"
#include "ToolRecord.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
// A pair of descriptors, [0] the program's end and [1] the child's; closes whatever it still holds.
struct Ends
{
    int fd[2] = {-1, -1};

    ~Ends()
    {
        for (int f : fd) {
            if (f >= 0)
                ::close(f);
        }
    }

    int takeOurs(bool nonBlocking)
    {
        const int f = fd[0];
        fd[0] = -1;
        if (f >= 0 && nonBlocking)
            ::fcntl(f, F_SETFL, ::fcntl(f, F_GETFL) | O_NONBLOCK);
        return f;
    }
};

std::vector<QByteArray> environmentFor(const ChildProcess::Plan& plan)
{
    QList<QByteArray> set = plan.variables;
    if (plan.record)
        set.append(QByteArray(ToolRecord::kEnvironment) + '=' + QByteArray::number(ToolRecord::kDescriptor));
    QList<QByteArray> dropped = {QByteArray(ToolRecord::kEnvironment) + '=', QByteArray(ToolJobs::kJobsVariable) + '=',
                                 QByteArray(ToolJobs::kHelloVariable) + '='};
    for (const QByteArray& variable : set)
        dropped.append(variable.left(variable.indexOf('=') + 1));
    std::vector<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (std::none_of(dropped.cbegin(), dropped.cend(),
                         [&](const QByteArray& key) { return entry.startsWith(key); }))
            env.push_back(entry);
    }
    env.insert(env.end(), set.cbegin(), set.cend());
    return env;
}

template <typename Strings> std::vector<char*> pointersTo(const Strings& strings)
{
    std::vector<char*> out;
    out.reserve(size_t(strings.size()) + 1);
    for (const QByteArray& s : strings)
        out.push_back(const_cast<char*>(s.constData()));
    out.push_back(nullptr);
    return out;
}

// The child's ends go on descriptors 0 to 3; nothing else of the program's reaches it, not even a
// descriptor the program inherited without close-on-exec.
int spawnChild(const ChildProcess::Plan& plan, int console, int record, int input, pid_t* pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, console, STDOUT_FILENO);
    if (plan.errors == ChildProcess::Errors::Console)
        posix_spawn_file_actions_adddup2(&actions, console, STDERR_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // glibc clears close-on-exec even when the pipe's end already is descriptor 3.
    if (record >= 0)
        posix_spawn_file_actions_adddup2(&actions, record, ToolRecord::kDescriptor);
    posix_spawn_file_actions_addclosefrom_np(&actions, record >= 0 ? ToolRecord::kDescriptor + 1 : STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // No POSIX_SPAWN_SETSIGDEF: what the program ignores (SIGPIPE) the tool ignores too.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    const std::vector<QByteArray> env = environmentFor(plan);
    const std::vector<char*> argv = pointersTo(plan.arguments);
    const std::vector<char*> envp = pointersTo(env);
    const int error = ::posix_spawnp(pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}
} // namespace

QString ChildProcess::Failure::text() const
{
    if (step == Step::Pipe)
        return QStringLiteral("CreatePipe failed. Error: ") + QString::number(error);
    return QStringLiteral("File or command not found");
}

std::unique_ptr<ChildProcess> ChildProcess::Spawn(const Plan& plan, Failure* failure)
{
    const auto failed = [failure](Failure::Step step, int error) {
        if (failure)
            *failure = {step, error};
        return std::unique_ptr<ChildProcess>();
    };
    if (plan.arguments.isEmpty())
        return failed(Failure::Step::Spawn, ENOENT);
    Ends console;
    Ends record;
    Ends input;
    if (::pipe2(console.fd, O_CLOEXEC) != 0 || (plan.record && ::pipe2(record.fd, O_CLOEXEC) != 0) ||
        (plan.input == Input::Socket && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input.fd) != 0))
        return failed(Failure::Step::Pipe, errno);
    pid_t pid = -1;
    const int error = spawnChild(plan, console.fd[1], record.fd[1], input.fd[1], &pid);
    if (error != 0)
        return failed(Failure::Step::Spawn, error);
    std::unique_ptr<ChildProcess> child(new ChildProcess);
    child->m_pid = pid;
    child->m_pidFd = ChildReaper::openPidFd(pid);
    child->m_console = console.takeOurs(true);
    child->m_record = record.takeOurs(true);
    // Jobs are written whole: a full socket waits rather than fails.
    child->m_input = input.takeOurs(false);
    return child; // the child's ends close here: only the child holds them now
}

ChildProcess::~ChildProcess()
{
    for (int fd : {m_console, m_record, m_input}) {
        if (fd >= 0)
            ::close(fd);
    }
    if (!m_reaped) {
        // A child left to finish on its own must not be left held (ToolRunner::Pause).
        ::kill(-m_pid, SIGCONT);
        ChildReaper::reapLater(m_pid, m_pidFd);
    } else if (m_pidFd >= 0)
        ::close(m_pidFd);
}

bool ChildProcess::reap(bool wait)
{
    if (m_reaped)
        return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(m_pid, &status, wait ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == m_pid || r < 0) {
        m_reaped = true; // or not ours to wait for any more
        m_waitStatus = r == m_pid ? status : -1;
    }
    return m_reaped;
}

void ChildProcess::stop(int killAfterMs, std::function<void(int waitStatus)> onEnded)
{
    if (reap()) {
        if (onEnded)
            onEnded(m_waitStatus);
        return;
    }
    ChildReaper::terminate(m_pid, m_pidFd, killAfterMs, std::move(onEnded));
    m_pidFd = -1;
    m_reaped = true; // the reaper has it now
}
