#include "ToolWorker.h"

#include "ToolJobs.h"
#include "ui/MsgBox.h"

#include <QSocketNotifier>
#include <cerrno>
#include <sys/socket.h>

// The tool process and the notifiers that watch its descriptors (they go first). The end of its
// input is what ends the tool once the job in hand is done.
struct ToolWorker::Process
{
    std::unique_ptr<ChildProcess> child;
    QByteArray tool;
    bool ending = false;
    std::unique_ptr<QSocketNotifier> consoleReady;
    std::unique_ptr<QSocketNotifier> recordReady;
    std::unique_ptr<QSocketNotifier> ended;
};

ToolWorker::ToolWorker(QObject* parent) : ToolRunner(parent) {}

ToolWorker::~ToolWorker()
{
    Close();
}

pid_t ToolWorker::processId() const
{
    return m_process ? m_process->child->pid() : -1;
}

bool ToolWorker::spawn(const QByteArray& tool, ChildProcess::Failure* failure)
{
    // As a one-file tool, with jobs on its input instead of arguments.
    auto child = ChildProcess::Spawn({{tool},
                                      {QByteArray(ToolJobs::kJobsVariable) + "=1"},
                                      ChildProcess::Input::Socket,
                                      ChildProcess::Errors::Console,
                                      true},
                                     failure);
    if (!child)
        return false;
    auto p = std::make_unique<Process>();
    p->child = std::move(child);
    p->tool = tool;
    p->consoleReady = std::make_unique<QSocketNotifier>(p->child->console(), QSocketNotifier::Read);
    connect(p->consoleReady.get(), &QSocketNotifier::activated, this, [this] { readConsole(false); });
    p->recordReady = std::make_unique<QSocketNotifier>(p->child->record(), QSocketNotifier::Read);
    connect(p->recordReady.get(), &QSocketNotifier::activated, this, &ToolWorker::readRecord);
    if (p->child->pidFd() >= 0) {
        p->ended = std::make_unique<QSocketNotifier>(p->child->pidFd(), QSocketNotifier::Read);
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
        const ssize_t n =
            ::send(m_process->child->input(), job.constData() + done, size_t(job.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool ToolWorker::Start(const QList<QByteArray>& arguments)
{
    if (arguments.isEmpty() || m_busy) {
        MsgBox::show(QStringLiteral("File or command not found"), MsgBox::Icon::Critical);
        return false;
    }
    if (m_process && (m_process->tool != arguments.first() || m_process->child->reaped()))
        m_process.reset();
    const QByteArray job =
        QByteArray::fromStdString(ToolJobs::Encode(std::vector<QByteArray>(arguments.begin() + 1, arguments.end())));
    // A tool that ended between two jobs is seen only now: the job goes to a fresh one.
    for (int attempt = 0; attempt < 2; ++attempt) {
        ChildProcess::Failure failure;
        if (!m_process && !spawn(arguments.first(), &failure)) {
            MsgBox::show(failure.text(), MsgBox::Icon::Critical);
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
    beginCommand();
    return true;
}

void ToolWorker::readConsole(bool all)
{
    Process* const p = m_process.get();
    if (!p)
        return;
    do {
        // A tool that talks between jobs: nobody's file.
        const ssize_t n = readConsolePiece(p->child->console(), m_busy);
        if (n <= 0) {
            // The end of the pipe stays readable for ever.
            if (n == 0 && p->consoleReady)
                p->consoleReady->setEnabled(false);
            return;
        }
    } while (all && m_process.get() == p);
}

void ToolWorker::readRecord()
{
    Process* const p = m_process.get();
    if (!p)
        return;
    bool closed = false;
    const QList<ToolRecord::Entry> entries = readRecords(p->child->record(), &closed);
    if (closed && p->recordReady)
        p->recordReady->setEnabled(false);
    for (const ToolRecord::Entry& entry : entries) {
        if (!m_busy)
            continue;
        if (entry.kind == ToolRecord::Entry::Kind::Name) {
            m_records.append(entry);
        } else {
            jobEnded({ExitInfo::Kind::Exited, entry.status});
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
    // Without a pidfd the record's end can come a moment before the process is gone.
    const bool reaped = p->child->reap();
    if (m_busy)
        jobEnded(reaped ? exitInfoOf(p->child->waitStatus()) : ExitInfo{});
    if (m_process.get() == p)
        m_process.reset();
}

void ToolWorker::jobEnded(ExitInfo exit)
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

void ToolWorker::Stop(std::function<void(ExitInfo)> afterEnd)
{
    if (!m_process)
        return;
    const std::unique_ptr<Process> p = std::move(m_process);
    const bool hadJob = m_busy;
    m_busy = false;
    p->consoleReady.reset();
    p->recordReady.reset();
    p->ended.reset();
    // Between two jobs nobody waits for its end.
    stopChild(*p->child, hadJob ? std::move(afterEnd) : std::function<void(ExitInfo)>());
    if (hadJob)
        emit Stopped();
}

void ToolWorker::Close()
{
    m_busy = false;
    m_process.reset();
}
