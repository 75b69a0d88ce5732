#include "DOSOutputs.h"

#include "ChildProcess.h"
#include "CommandLineSplit.h"
#include "ProcessLookup.h"
#include "ui/MsgBox.h"

#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

// One run's child and the notifiers that watch its descriptors (they go first).
struct DOSOutputs::Run
{
    std::unique_ptr<ChildProcess> child;
    bool childIsTool = false;
    std::unique_ptr<QSocketNotifier> pipeReady;
    std::unique_ptr<QSocketNotifier> recordReady;
    std::unique_ptr<QSocketNotifier> childEnded;
    // Polls at the runner's pace while the end depends on something no descriptor reports: another
    // process of the tool's name, or a child on a kernel without pidfd.
    std::unique_ptr<QTimer> poll;

    void quiet()
    {
        pipeReady.reset();
        recordReady.reset();
        childEnded.reset();
        poll.reset();
    }
};

namespace {
QByteArray imageNameOf(const QByteArray& program)
{
    const qsizetype slash = program.lastIndexOf('/');
    return slash < 0 ? program : program.mid(slash + 1);
}
} // namespace

DOSOutputs::DOSOutputs(QObject* parent) : ToolRunner(parent) {}

DOSOutputs::~DOSOutputs() = default;

bool DOSOutputs::IsProcessRunning(const QString& imageName, pid_t group)
{
    return ProcessLookup::IsProcessRunningInGroup(imageName, group);
}

pid_t DOSOutputs::processId() const
{
    return m_run ? m_run->child->pid() : -1;
}

bool DOSOutputs::Start(const QByteArray& CommandLine)
{
    if (!CommandLine.isEmpty())
        m_commandLine = CommandLine;
    if (m_commandLine.isEmpty()) {
        MsgBox::show(QStringLiteral("Command Line empty"), MsgBox::Icon::Critical);
        return false;
    }
    return Start(CommandLineSplit::split(m_commandLine));
}

bool DOSOutputs::Start(const QList<QByteArray>& arguments)
{
    // A run still going is left to end on its own; its events stop here.
    m_run.reset();
    ChildProcess::Failure failure;
    auto child = ChildProcess::Spawn(
        {arguments, {}, ChildProcess::Input::Nothing, ChildProcess::Errors::Console, m_toolRecord}, &failure);
    if (!child) {
        MsgBox::show(failure.text(), MsgBox::Icon::Critical);
        return false;
    }
    auto run = std::make_unique<Run>();
    run->child = std::move(child);
    run->childIsTool = imageNameOf(arguments.first()).toLower() == kToolImageName;
    watch(*run);

    beginCommand();
    m_run = std::move(run);
    // The first look happens once the caller has returned to the event loop.
    QTimer::singleShot(0, this, [this, started = m_run.get()] {
        if (m_run.get() == started)
            pass();
    });
    return true;
}

void DOSOutputs::watch(Run& run)
{
    const int console = run.child->console();
    run.pipeReady = std::make_unique<QSocketNotifier>(console, QSocketNotifier::Read);
    connect(run.pipeReady.get(), &QSocketNotifier::activated, this, [this, console] {
        // Nothing to read and the writer gone: the end of the pipe, readable for ever; nothing more to
        // wait for there. (Nothing to read and no hang-up is a notice that a pass already answered.)
        int waiting = 0;
        pollfd p{console, POLLIN, 0};
        if (::ioctl(console, FIONREAD, &waiting) == 0 && waiting == 0 && ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP))
            m_run->pipeReady->setEnabled(false);
        pass();
    });
    if (run.child->record() >= 0) {
        run.recordReady = std::make_unique<QSocketNotifier>(run.child->record(), QSocketNotifier::Read);
        connect(run.recordReady.get(), &QSocketNotifier::activated, this, &DOSOutputs::readRecord);
    }
    run.poll = std::make_unique<QTimer>();
    run.poll->setInterval(kPauseMs);
    connect(run.poll.get(), &QTimer::timeout, this, &DOSOutputs::pass);
    if (run.child->pidFd() >= 0) {
        run.childEnded = std::make_unique<QSocketNotifier>(run.child->pidFd(), QSocketNotifier::Read);
        connect(run.childEnded.get(), &QSocketNotifier::activated, this, [this] {
            m_run->childEnded->setEnabled(false);
            pass();
        });
    } else {
        run.poll->start();
    }
}

bool DOSOutputs::reap()
{
    if (m_run->child->reap())
        m_lastExit = exitInfoOf(m_run->child->waitStatus());
    return m_run->child->reaped();
}

void DOSOutputs::pass()
{
    if (!m_run)
        return;
    Run* const run = m_run.get();
    const int console = run->child->console();
    int waiting = 0;
    if (::ioctl(console, FIONREAD, &waiting) != 0)
        waiting = -1; // an unknown count is not zero: let the read tell
    if (waiting != 0) {
        const ssize_t n = readConsolePiece(console);
        if (n > 0)
            return; // more output raises the notifier again
        if (n < 0 && errno != EAGAIN) {
            emit ReceiveOutputs(QString());
            if (m_run.get() == run)
                finish();
            return;
        }
    }
    // The pipe is empty for now.
    if (!reap() && run->childIsTool)
        return; // our own tool is alive: its output or its end raises the next pass
    // The child leads its group, and a group's id is not given to a new process while any member lives.
    const bool over = !IsProcessRunning(QString::fromLatin1(kToolImageName), run->child->pid());
    if (over)
        finish();
    else if (!run->poll->isActive())
        run->poll->start();
}

void DOSOutputs::readRecord()
{
    if (!m_run || m_run->child->record() < 0)
        return;
    bool ended = false;
    const QList<ToolRecord::Entry> entries = readRecords(m_run->child->record(), &ended);
    if (ended && m_run->recordReady)
        m_run->recordReady->setEnabled(false);
    for (const ToolRecord::Entry& entry : entries) {
        m_records.append(entry);
        emit Recorded(entry);
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
    const std::unique_ptr<Run> run = std::move(m_run);
    run->quiet();
    if (run->child->reap())
        m_lastExit = exitInfoOf(run->child->waitStatus());
    stopChild(*run->child, std::move(afterEnd));
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
    return self ? Outputs() : QString();
}
