#pragma once

#include "ToolRecord.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <functional>
#include <memory>
#include <sys/types.h>

// Runs one console command line at a time as a hidden child process, hands everything it writes on
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
// Each child runs in a process group of its own with no signal blocked: a Ctrl+C or a closed terminal
// meant for the program does not reach it, and Stop reaches the tool with any children it started.
class DOSOutputs : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kToolImageName = "conv.exe";
    static constexpr int kReadSize = 1024;
    static constexpr int kPauseMs = 50;
    static constexpr int kKillAfterMs = 2000;

    // How the child of the last run ended, as far as it was known when CommandOver was raised.
    struct ExitInfo
    {
        enum class Kind { Unknown, Exited, Signaled };
        Kind kind = Kind::Unknown;
        int code = 0; // exit status for Exited, signal number for Signaled

        bool succeeded() const { return kind == Kind::Exited && code == 0; }
    };

    explicit DOSOutputs(QObject* parent = nullptr);
    ~DOSOutputs() override;

    QByteArray CommandLine() const { return m_commandLine; }
    void setCommandLine(const QByteArray& DOSCommand) { m_commandLine = DOSCommand; }

    // Everything read for the current or last command.
    QString Outputs() const { return m_outputs; }

    // Runs the program with these arguments (the program first) and returns at once; the events
    // follow. False, with the message box shown and no event, when it cannot be started.
    bool Start(const QList<QByteArray>& arguments);
    // Start with the stored command line, or CommandLine when it is not empty (it is then stored),
    // split as Windows programs split theirs (CommandLineSplit).
    bool Start(const QByteArray& CommandLine = QByteArray());

    // Start, then wait for the command's end with window events running. For callers that need the
    // output in hand; returns it, or an empty string when the command cannot be started.
    QString ExecuteCommand(const QByteArray& CommandLine = QByteArray());

    bool isRunning() const { return m_run != nullptr; }
    // The running child's process id (also its process group), or -1.
    pid_t processId() const;

    // Ends the running command at once: its process group gets SIGTERM now and SIGKILL two seconds
    // later if it is still there. No CommandOver follows; afterEnd runs once the tool has ended, with
    // how it ended (a tool may have finished its file before the signal came).
    void Stop(std::function<void(ExitInfo)> afterEnd = {});

    // Whether the next runs give the tool its record pipe (and the variable that asks for it).
    void setToolRecord(bool on) { m_toolRecord = on; }

    ExitInfo lastExit() const { return m_lastExit; }
    // The record entries of the current or last run, all of them once CommandOver is raised.
    const QList<ToolRecord::Entry>& records() const { return m_records; }

    static ExitInfo exitInfoOf(int waitStatus);

signals:
    void ReceiveOutputs(const QString& CommandOutputs);
    void CommandOver();
    // The running command was stopped (Stop); no CommandOver follows.
    void Stopped();
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
    QString m_outputs;
    QStringDecoder m_decoder;
    ExitInfo m_lastExit;
    bool m_toolRecord = false;
    QByteArray m_recordBuffer;
    QList<ToolRecord::Entry> m_records;
    std::unique_ptr<Run> m_run;
};
