#include "DOSOutputs.h"

#include "ChildReaper.h"
#include "CommandLineSplit.h"
#include "ProcessLookup.h"
#include "ui/MsgBox.h"

#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// One run's operating-system handles and the notifiers that watch them.
struct DOSOutputs::Run
{
    int readFd = -1;
    int recordFd = -1;
    int pidFd = -1;
    pid_t pid = -1;
    bool reaped = false;
    bool childIsTool = false;
    std::unique_ptr<QSocketNotifier> pipeReady;
    std::unique_ptr<QSocketNotifier> recordReady;
    std::unique_ptr<QSocketNotifier> childEnded;
    // Polls at the runner's pace while the end depends on something no descriptor reports: another
    // process of the tool's name, or a child on a kernel without pidfd.
    std::unique_ptr<QTimer> poll;

    ~Run()
    {
        pipeReady.reset();
        recordReady.reset();
        childEnded.reset();
        poll.reset();
        if (readFd >= 0)
            ::close(readFd);
        if (recordFd >= 0)
            ::close(recordFd);
        if (pid > 0 && !reaped)
            ChildReaper::reapLater(pid, pidFd);
        else if (pidFd >= 0)
            ::close(pidFd);
    }
};

namespace {
QByteArray imageNameOf(const QByteArray& program)
{
    const qsizetype slash = program.lastIndexOf('/');
    return slash < 0 ? program : program.mid(slash + 1);
}

// The program's environment for the child, with the record variable only when the runner reads one:
// a variable the program itself inherited must not make a tool write to a descriptor nobody reads.
std::vector<QByteArray> childEnvironment(bool withRecord)
{
    const QByteArray key = QByteArray(ToolRecord::kEnvironment) + '=';
    std::vector<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        if (!QByteArray(*e).startsWith(key))
            env.emplace_back(*e);
    }
    if (withRecord)
        env.push_back(key + QByteArray::number(ToolRecord::kDescriptor));
    return env;
}
} // namespace

DOSOutputs::DOSOutputs(QObject* parent) : QObject(parent), m_decoder(QStringDecoder::Utf8) {}

DOSOutputs::~DOSOutputs() = default;

bool DOSOutputs::IsProcessRunning(const QString& imageName, pid_t group)
{
    return ProcessLookup::IsProcessRunningInGroup(imageName, group);
}

DOSOutputs::ExitInfo DOSOutputs::exitInfoOf(int waitStatus)
{
    if (waitStatus < 0)
        return {};
    if (WIFEXITED(waitStatus))
        return {ExitInfo::Kind::Exited, WEXITSTATUS(waitStatus)};
    if (WIFSIGNALED(waitStatus))
        return {ExitInfo::Kind::Signaled, WTERMSIG(waitStatus)};
    return {};
}

pid_t DOSOutputs::processId() const
{
    return m_run ? m_run->pid : -1;
}

bool DOSOutputs::Start(const QByteArray& CommandLine)
{
    if (!CommandLine.isEmpty())
        m_commandLine = CommandLine;
    if (m_commandLine.isEmpty()) {
        MsgBox::show(QStringLiteral("Command Line empty"), MsgBox::Icon::Critical);
        return false;
    }
    // A run still going is left to end on its own; its events stop here.
    m_run.reset();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        MsgBox::show(QStringLiteral("CreatePipe failed. Error: ") + QString::number(errno), MsgBox::Icon::Critical);
        return false;
    }

    int record[2] = {-1, -1};
    if (m_toolRecord && ::pipe2(record, O_CLOEXEC) != 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        MsgBox::show(QStringLiteral("CreatePipe failed. Error: ") + QString::number(errno), MsgBox::Icon::Critical);
        return false;
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
        // glibc clears close-on-exec even when the pipe's end already is descriptor 3.
        if (record[1] >= 0)
            posix_spawn_file_actions_adddup2(&actions, record[1], ToolRecord::kDescriptor);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
        posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        const std::vector<QByteArray> env = childEnvironment(record[1] >= 0);
        std::vector<char*> envp;
        envp.reserve(env.size() + 1);
        for (const QByteArray& e : env)
            envp.push_back(const_cast<char*>(e.constData()));
        envp.push_back(nullptr);
        spawnError = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ::close(fds[1]);
    if (record[1] >= 0)
        ::close(record[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        if (record[0] >= 0)
            ::close(record[0]);
        MsgBox::show(QStringLiteral("File or command not found"), MsgBox::Icon::Critical);
        return false;
    }

    auto run = std::make_unique<Run>();
    run->readFd = fds[0];
    run->recordFd = record[0];
    run->pid = pid;
    run->pidFd = ChildReaper::openPidFd(pid);
    run->childIsTool = imageNameOf(args.first()).toLower() == kToolImageName;
    ::fcntl(run->readFd, F_SETFL, ::fcntl(run->readFd, F_GETFL) | O_NONBLOCK);

    run->pipeReady = std::make_unique<QSocketNotifier>(run->readFd, QSocketNotifier::Read);
    connect(run->pipeReady.get(), &QSocketNotifier::activated, this, [this] {
        // Nothing to read and the writer gone: the end of the pipe, readable for ever; nothing more to
        // wait for there. (Nothing to read and no hang-up is a notice that a pass already answered.)
        int waiting = 0;
        pollfd p{m_run->readFd, POLLIN, 0};
        if (::ioctl(m_run->readFd, FIONREAD, &waiting) == 0 && waiting == 0 && ::poll(&p, 1, 0) == 1 &&
            (p.revents & POLLHUP))
            m_run->pipeReady->setEnabled(false);
        pass();
    });
    if (run->recordFd >= 0) {
        ::fcntl(run->recordFd, F_SETFL, ::fcntl(run->recordFd, F_GETFL) | O_NONBLOCK);
        run->recordReady = std::make_unique<QSocketNotifier>(run->recordFd, QSocketNotifier::Read);
        connect(run->recordReady.get(), &QSocketNotifier::activated, this, &DOSOutputs::readRecord);
    }
    run->poll = std::make_unique<QTimer>();
    run->poll->setInterval(kPauseMs);
    connect(run->poll.get(), &QTimer::timeout, this, &DOSOutputs::pass);
    if (run->pidFd >= 0) {
        run->childEnded = std::make_unique<QSocketNotifier>(run->pidFd, QSocketNotifier::Read);
        connect(run->childEnded.get(), &QSocketNotifier::activated, this, [this] {
            m_run->childEnded->setEnabled(false);
            pass();
        });
    } else {
        run->poll->start();
    }

    m_outputs.clear();
    m_decoder = QStringDecoder(QStringDecoder::Utf8);
    m_lastExit = ExitInfo{};
    m_recordBuffer.clear();
    m_records.clear();
    m_run = std::move(run);
    // The first look happens once the caller has returned to the event loop.
    QTimer::singleShot(0, this, [this, started = m_run.get()] {
        if (m_run.get() == started)
            pass();
    });
    return true;
}

void DOSOutputs::reap()
{
    if (m_run->reaped)
        return;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(m_run->pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == m_run->pid) {
        m_run->reaped = true;
        m_lastExit = exitInfoOf(status);
    } else if (r < 0) {
        m_run->reaped = true; // not ours to wait for any more
    }
}

void DOSOutputs::pass()
{
    if (!m_run)
        return;
    Run* const run = m_run.get();
    int waiting = 0;
    if (::ioctl(run->readFd, FIONREAD, &waiting) != 0)
        waiting = -1; // an unknown count is not zero: let the read tell
    if (waiting != 0) {
        char buffer[kReadSize];
        ssize_t n;
        do {
            n = ::read(run->readFd, buffer, sizeof buffer);
        } while (n < 0 && errno == EINTR);
        if (n > 0) {
            const QString piece = m_decoder.decode(QByteArrayView(buffer, n));
            m_outputs += piece;
            emit ReceiveOutputs(piece);
            return; // more output raises the notifier again
        }
        if (n < 0 && errno != EAGAIN) {
            emit ReceiveOutputs(QString());
            if (m_run.get() == run)
                finish();
            return;
        }
    }
    // The pipe is empty for now.
    reap();
    if (run->childIsTool && !run->reaped)
        return; // our own tool is alive: its output or its end raises the next pass
    // The child leads its group, and a group's id is not given to a new process while any member lives.
    const bool over = !IsProcessRunning(QString::fromLatin1(kToolImageName), run->pid);
    if (over)
        finish();
    else if (!run->poll->isActive())
        run->poll->start();
}

void DOSOutputs::readRecord()
{
    if (!m_run || m_run->recordFd < 0)
        return;
    char buffer[kReadSize];
    for (;;) {
        const ssize_t n = ::read(m_run->recordFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The end of the pipe stays readable for ever: nothing more will come.
            if (n == 0 && m_run->recordReady)
                m_run->recordReady->setEnabled(false);
            break;
        }
        m_recordBuffer.append(buffer, n);
    }
    for (qsizetype end; (end = m_recordBuffer.indexOf('\n')) >= 0;) {
        const QByteArray line = m_recordBuffer.left(end);
        m_recordBuffer.remove(0, end + 1);
        if (const auto entry = ToolRecord::Parse(std::string_view(line.constData(), size_t(line.size())))) {
            m_records.append(*entry);
            emit Recorded(*entry);
        }
    }
}

void DOSOutputs::finish()
{
    reap();
    // Whatever the tool recorded is in the pipe by now: its writer has ended.
    readRecord();
    m_run.reset();
    emit CommandOver();
}

void DOSOutputs::Stop(std::function<void(ExitInfo)> afterEnd)
{
    if (!m_run)
        return;
    Run* run = m_run.get();
    run->pipeReady.reset();
    run->recordReady.reset();
    run->childEnded.reset();
    run->poll.reset();
    reap();
    if (run->reaped) {
        m_run.reset();
        if (afterEnd)
            afterEnd(m_lastExit);
    } else {
        ChildReaper::terminate(run->pid, run->pidFd, kKillAfterMs, [afterEnd = std::move(afterEnd)](int status) {
            if (afterEnd)
                afterEnd(exitInfoOf(status));
        });
        run->pidFd = -1;
        run->reaped = true; // the reaper has it now
        m_run.reset();
    }
    emit Stopped();
}

QString DOSOutputs::ExecuteCommand(const QByteArray& CommandLine)
{
    if (!Start(CommandLine))
        return {};
    QEventLoop loop;
    QPointer<DOSOutputs> self(this);
    const auto over = connect(this, &DOSOutputs::CommandOver, &loop, &QEventLoop::quit);
    const auto stopped = connect(this, &DOSOutputs::Stopped, &loop, &QEventLoop::quit);
    if (m_run)
        loop.exec();
    disconnect(over);
    disconnect(stopped);
    return self ? m_outputs : QString();
}
