#pragma once

#include "ToolRunner.h"

#include <QByteArray>
#include <QList>
#include <memory>

// Runs one console command at a time as a hidden child process, hands everything it writes on
// standard output and standard error to the owner piece by piece (ReceiveOutputs), and says when the
// command is over (CommandOver). Nothing waits: the pipe and the child's end raise the events from the
// event loop, so a modal dialog or a second runner never holds a run up.
//
// The command counts as over once the pipe holds nothing and no process named "conv.exe" is left in
// the process group of the child it started: the conversion tool may hand its work to processes of its
// own, and only the name tells. Another program's or user's conv.exe never holds a run.
//
// With setToolRecord, the tool also gets a pipe on descriptor 3 for its record (ToolRecord.h); each
// entry is handed on as it arrives (Recorded) and kept for the run (records()).
//
// Each child runs in a process group of its own with no signal blocked (ChildProcess): a Ctrl+C or a
// closed terminal meant for the program does not reach it, and Stop reaches the tool with any children
// it started.
class DOSOutputs : public ToolRunner
{
    Q_OBJECT
public:
    static constexpr const char* kToolImageName = "conv.exe";
    static constexpr int kPauseMs = 50;

    explicit DOSOutputs(QObject* parent = nullptr);
    ~DOSOutputs() override;

    QByteArray CommandLine() const { return m_commandLine; }
    void setCommandLine(const QByteArray& DOSCommand) { m_commandLine = DOSCommand; }

    bool Start(const QList<QByteArray>& arguments) override;
    // Start with the stored command line, or CommandLine when it is not empty (it is then stored),
    // split as Windows programs split theirs (CommandLineSplit).
    bool Start(const QByteArray& CommandLine = QByteArray());

    // Start, then wait for the command's end with window events running. For callers that need the
    // output in hand; returns it, or an empty string when the command cannot be started.
    QString ExecuteCommand(const QByteArray& CommandLine = QByteArray());

    bool isRunning() const override { return m_run != nullptr; }
    pid_t processId() const override;
    void Stop(std::function<void(ExitInfo)> afterEnd = {}) override;

    // Whether the next runs give the tool its record pipe (and the variable that asks for it).
    void setToolRecord(bool on) { m_toolRecord = on; }

signals:
    // One entry of the tool's record.
    void Recorded(const ToolRecord::Entry& entry);

private:
    struct Run;

    bool IsProcessRunning(const QString& imageName, pid_t group);
    void watch(Run& run);
    void readRecord();
    void pass();
    // Reaps the child if it has ended, keeping how; true once it has.
    bool reap();
    void finish();

    QByteArray m_commandLine;
    bool m_toolRecord = false;
    std::unique_ptr<Run> m_run;
};
