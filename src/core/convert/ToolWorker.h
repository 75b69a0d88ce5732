#pragma once

#include "ChildProcess.h"
#include "ToolRunner.h"

#include <QByteArray>
#include <QList>
#include <memory>

// One slot's conversion tool kept running across the files of a batch: each command line becomes a
// job on the tool's input (ToolJobs.h) instead of a new process, which saves the tool's start-up on
// every file. To its owner it is a runner like DOSOutputs (ToolRunner): the job's console output piece
// by piece, then CommandOver with how the job ended.
//
// Nothing is weaker than one process per file: a job that fails, or a tool that dies, fails only its
// own file with the true reason, and the next job gets a fresh process; so does every kMaxJobs-th job,
// so a slow leak in a decoder cannot grow for a whole batch. Close lets the job in hand finish and
// starts nothing more; Stop ends the tool's process group as DOSOutputs::Stop ends a tool.
class ToolWorker : public ToolRunner
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
    bool Start(const QList<QByteArray>& arguments) override;

    // Jobs one tool process converts before the next job gets a fresh one (a test's knob).
    void setMaxJobs(int n) { m_maxJobs = n; }

    // A job is in hand.
    bool isRunning() const override { return m_busy; }
    pid_t processId() const override;
    // Jobs the running tool process has been given.
    int jobsInProcess() const { return m_jobs; }

    // With a job in hand, as ToolRunner::Stop; between jobs the tool ends with no event.
    void Stop(std::function<void(ExitInfo)> afterEnd = {}) override;
    // Ends the job input: the tool finishes the job in hand, if any, and exits. No event follows.
    void Close();

private:
    struct Process;

    bool spawn(const QByteArray& tool, ChildProcess::Failure* failure);
    bool send(const QByteArray& job);
    void readConsole(bool all);
    void readRecord();
    void processEnded();
    void jobEnded(ExitInfo exit);

    std::unique_ptr<Process> m_process;
    int m_jobs = 0;
    int m_maxJobs = kMaxJobs;
    bool m_busy = false;
};
