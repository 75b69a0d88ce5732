#include "ToolWorker.h"

#include "ChildReaper.h"
#include "CommandLineSplit.h"
#include "ToolJobs.h"
#include "ui/MsgBox.h"

#include <QSocketNotifier>
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

// The tool process's handles and the notifiers that watch them.
struct ToolWorker::Process
{
    QByteArray tool;
    pid_t pid = -1;
    int pidFd = -1;
    int jobFd = -1;
    int consoleFd = -1;
    int recordFd = -1;
    bool reaped = false;
    bool ending = false;
    int waitStatus = -1;
    std::unique_ptr<QSocketNotifier> consoleReady;
    std::unique_ptr<QSocketNotifier> recordReady;
    std::unique_ptr<QSocketNotifier> ended;

    ~Process()
    {
        consoleReady.reset();
        recordReady.reset();
        ended.reset();
        // The end of its input is what ends the tool once the job in hand is done.
        for (int fd : {jobFd, consoleFd, recordFd}) {
            if (fd >= 0)
                ::close(fd);
        }
        if (pid > 0 && !reaped)
            ChildReaper::reapLater(pid, pidFd);
        else if (pidFd >= 0)
            ::close(pidFd);
    }

    void reap()
    {
        if (reaped)
            return;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == pid || r < 0) {
            reaped = true;
            waitStatus = r == pid ? status : -1;
        }
    }
};

namespace {
std::vector<QByteArray> workerEnvironment()
{
    const QList<QByteArray> ours = {QByteArray(ToolRecord::kEnvironment) + '=',
                                    QByteArray(ToolJobs::kJobsVariable) + '=',
                                    QByteArray(ToolJobs::kHelloVariable) + '='};
    std::vector<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (std::none_of(ours.cbegin(), ours.cend(), [&](const QByteArray& key) { return entry.startsWith(key); }))
            env.push_back(entry);
    }
    env.push_back(ours[0] + QByteArray::number(ToolRecord::kDescriptor));
    env.push_back(ours[1] + '1');
    return env;
}

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}
} // namespace

ToolWorker::ToolWorker(QObject* parent) : QObject(parent), m_decoder(QStringDecoder::Utf8) {}

ToolWorker::~ToolWorker()
{
    Close();
}

pid_t ToolWorker::processId() const
{
    return m_process ? m_process->pid : -1;
}

bool ToolWorker::spawn(const QByteArray& tool)
{
    int jobs[2];
    // A socket rather than a pipe: a tool that has died makes the next send fail, not raise SIGPIPE.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, jobs) != 0)
        return false;
    int console[2] = {-1, -1};
    int record[2] = {-1, -1};
    if (::pipe2(console, O_CLOEXEC) != 0 || ::pipe2(record, O_CLOEXEC) != 0) {
        for (int fd : {jobs[0], jobs[1], console[0], console[1]}) {
            if (fd >= 0)
                ::close(fd);
        }
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, jobs[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, console[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, console[1], STDERR_FILENO);
    posix_spawn_file_actions_adddup2(&actions, record[1], ToolRecord::kDescriptor);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // As a one-file tool: a group of its own for Stop, no signal blocked, terminal signals kept away.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    const std::vector<QByteArray> env = workerEnvironment();
    std::vector<char*> envp;
    for (const QByteArray& e : env)
        envp.push_back(const_cast<char*>(e.constData()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(tool.constData()), nullptr};
    pid_t pid = -1;
    const int spawnError = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(jobs[1]);
    ::close(console[1]);
    ::close(record[1]);
    if (spawnError != 0) {
        ::close(jobs[0]);
        ::close(console[0]);
        ::close(record[0]);
        return false;
    }

    auto p = std::make_unique<Process>();
    p->tool = tool;
    p->pid = pid;
    p->pidFd = ChildReaper::openPidFd(pid);
    p->jobFd = jobs[0];
    p->consoleFd = console[0];
    p->recordFd = record[0];
    setNonBlocking(p->consoleFd);
    setNonBlocking(p->recordFd);
    p->consoleReady = std::make_unique<QSocketNotifier>(p->consoleFd, QSocketNotifier::Read);
    connect(p->consoleReady.get(), &QSocketNotifier::activated, this, [this] { readConsole(false); });
    p->recordReady = std::make_unique<QSocketNotifier>(p->recordFd, QSocketNotifier::Read);
    connect(p->recordReady.get(), &QSocketNotifier::activated, this, &ToolWorker::readRecord);
    if (p->pidFd >= 0) {
        p->ended = std::make_unique<QSocketNotifier>(p->pidFd, QSocketNotifier::Read);
        connect(p->ended.get(), &QSocketNotifier::activated, this, &ToolWorker::processEnded);
    }
    // Without a pidfd, a dead tool still shows: its record pipe reaches its end.
    m_process = std::move(p);
    m_jobs = 0;
    return true;
}

bool ToolWorker::send(const QByteArray& job)
{
    qsizetype done = 0;
    while (done < job.size()) {
        const ssize_t n = ::send(m_process->jobFd, job.constData() + done, size_t(job.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool ToolWorker::Start(const QByteArray& commandLine)
{
    const QList<QByteArray> args = CommandLineSplit::split(commandLine);
    if (args.isEmpty() || m_busy) {
        MsgBox::show(QStringLiteral("File or command not found"), MsgBox::Icon::Critical);
        return false;
    }
    if (m_process && (m_process->tool != args.first() || m_process->reaped))
        m_process.reset();
    const QByteArray job =
        QByteArray::fromStdString(ToolJobs::Encode(std::vector<QByteArray>(args.begin() + 1, args.end())));
    // A tool that ended between two jobs is seen only now: the job goes to a fresh one.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_process && !spawn(args.first())) {
            MsgBox::show(QStringLiteral("File or command not found"), MsgBox::Icon::Critical);
            return false;
        }
        if (send(job))
            break;
        m_process.reset();
    }
    if (!m_process) {
        MsgBox::show(QStringLiteral("File or command not found"), MsgBox::Icon::Critical);
        return false;
    }
    ++m_jobs;
    m_busy = true;
    m_outputs.clear();
    m_decoder = QStringDecoder(QStringDecoder::Utf8);
    m_lastExit = {};
    m_records.clear();
    return true;
}

void ToolWorker::readConsole(bool all)
{
    Process* const p = m_process.get();
    if (!p)
        return;
    do {
        char buffer[DOSOutputs::kReadSize];
        ssize_t n;
        do {
            n = ::read(p->consoleFd, buffer, sizeof buffer);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            // The end of the pipe stays readable for ever.
            if (n == 0 && p->consoleReady)
                p->consoleReady->setEnabled(false);
            return;
        }
        if (!m_busy)
            continue; // a tool that talks between jobs: nobody's file
        const QString piece = m_decoder.decode(QByteArrayView(buffer, n));
        m_outputs += piece;
        emit ReceiveOutputs(piece);
    } while (all && m_process.get() == p);
}

void ToolWorker::readRecord()
{
    Process* const p = m_process.get();
    if (!p)
        return;
    char buffer[DOSOutputs::kReadSize];
    bool closed = false;
    for (;;) {
        const ssize_t n = ::read(p->recordFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            closed = n == 0;
            break;
        }
        m_recordBuffer.append(buffer, n);
    }
    if (closed && p->recordReady)
        p->recordReady->setEnabled(false);
    for (qsizetype end; (end = m_recordBuffer.indexOf('\n')) >= 0;) {
        const QByteArray line = m_recordBuffer.left(end);
        m_recordBuffer.remove(0, end + 1);
        const auto entry = ToolRecord::Parse(std::string_view(line.constData(), size_t(line.size())));
        if (!entry || !m_busy)
            continue;
        if (entry->kind == ToolRecord::Entry::Kind::Name) {
            m_records.append(*entry);
        } else {
            jobEnded({DOSOutputs::ExitInfo::Kind::Exited, entry->status});
            if (m_process.get() != p)
                return;
        }
    }
    if (closed && !p->ended)
        processEnded();
}

void ToolWorker::processEnded()
{
    Process* const p = m_process.get();
    if (!p || p->ending)
        return;
    p->ending = true;
    if (p->ended)
        p->ended->setEnabled(false);
    // Whatever it wrote before it died is in its pipes by now.
    readRecord();
    if (m_process.get() != p)
        return;
    if (!p->reaped) {
        // Without a pidfd the record's end can come a moment before the process is gone.
        p->reap();
    }
    if (m_busy)
        jobEnded(p->reaped ? DOSOutputs::exitInfoOf(p->waitStatus) : DOSOutputs::ExitInfo{});
    if (m_process.get() == p)
        m_process.reset();
}

void ToolWorker::jobEnded(DOSOutputs::ExitInfo exit)
{
    // The console lines were written before the end was recorded: read them all before the owner
    // acts, or the reason of a failed file is lost.
    readConsole(true);
    m_busy = false;
    m_lastExit = exit;
    // A failure may have left the process in any state; the next file gets a fresh one.
    if (!exit.succeeded() || m_jobs >= m_maxJobs)
        m_process.reset();
    emit CommandOver();
}

void ToolWorker::Stop(std::function<void(DOSOutputs::ExitInfo)> afterEnd)
{
    if (!m_process)
        return;
    std::unique_ptr<Process> p = std::move(m_process);
    const bool hadJob = m_busy;
    m_busy = false;
    p->consoleReady.reset();
    p->recordReady.reset();
    p->ended.reset();
    p->reap();
    if (p->reaped) {
        if (hadJob && afterEnd)
            afterEnd(DOSOutputs::exitInfoOf(p->waitStatus));
    } else {
        ChildReaper::terminate(p->pid, p->pidFd, DOSOutputs::kKillAfterMs,
                               [hadJob, afterEnd = std::move(afterEnd)](int status) {
                                   if (hadJob && afterEnd)
                                       afterEnd(DOSOutputs::exitInfoOf(status));
                               });
        p->pidFd = -1;
        p->reaped = true; // the reaper has it now
    }
    p.reset();
    if (hadJob)
        emit Stopped();
}

void ToolWorker::Close()
{
    m_busy = false;
    m_process.reset();
}
