#pragma once

#include "ChildProcess.h"
#include "DOSOutputs.h"
#include "ToolRecord.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <functional>
#include <memory>
#include <sys/types.h>

// One slot's conversion tool kept running across the files of a batch: each command line becomes a
// job on the tool's input (ToolJobs.h) instead of a new process, which saves the tool's start-up on
// every file. To its owner it looks like DOSOutputs running one command at a time: the job's console
// output piece by piece, then CommandOver with how the job ended.
//
// Nothing is weaker than one process per file: a job that fails, or a tool that dies, fails only its
// own file with the true reason, and the next job gets a fresh process; so does every kMaxJobs-th job,
// so a slow leak in a decoder cannot grow for a whole batch. Close lets the job in hand finish and
// starts nothing more; Stop ends the tool's process group as DOSOutputs::Stop ends a tool.
class ToolWorker : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxJobs = 200;

    explicit ToolWorker(QObject* parent = nullptr);
    // The same as Close.
    ~ToolWorker() override;

    // Sends the arguments (the tool's path first) as the next job, starting the tool in job mode
    // first when none is running or it is another tool. False, with the message box shown and no
    // event, when the tool cannot be started. Only while no job is in hand.
    bool Start(const QList<QByteArray>& arguments);

    // Jobs one tool process converts before the next job gets a fresh one (a test's knob).
    void setMaxJobs(int n) { m_maxJobs = n; }

    // A job is in hand.
    bool isRunning() const { return m_busy; }
    // The tool process's id (also its process group), or -1.
    pid_t processId() const;
    // Jobs the running tool process has been given.
    int jobsInProcess() const { return m_jobs; }

    QString Outputs() const { return m_outputs; }
    DOSOutputs::ExitInfo lastExit() const { return m_lastExit; }
    const QList<ToolRecord::Entry>& records() const { return m_records; }

    // Ends the tool's process group now, SIGKILL after DOSOutputs::kKillAfterMs. With a job in hand,
    // afterEnd runs once the tool has ended with how the job ended, and Stopped is raised.
    void Stop(std::function<void(DOSOutputs::ExitInfo)> afterEnd = {});
    // Ends the job input: the tool finishes the job in hand, if any, and exits. No event follows.
    void Close();

signals:
    void ReceiveOutputs(const QString& CommandOutputs);
    void CommandOver();
    void Stopped();

private:
    struct Process;

    bool spawn(const QByteArray& tool, ChildProcess::Failure* failure);
    bool send(const QByteArray& job);
    void readConsole(bool all);
    void readRecord();
    void processEnded();
    void jobEnded(DOSOutputs::ExitInfo exit);

    std::unique_ptr<Process> m_process;
    int m_jobs = 0;
    int m_maxJobs = kMaxJobs;
    bool m_busy = false;
    QString m_outputs;
    QStringDecoder m_decoder;
    DOSOutputs::ExitInfo m_lastExit;
    QByteArray m_recordBuffer;
    QList<ToolRecord::Entry> m_records;
};
