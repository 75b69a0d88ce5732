#pragma once

#include <QByteArray>
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
// The command counts as over once the pipe holds nothing and no process named "conv.exe" is left on
// the machine: the conversion tool may hand its work to processes of its own, and only the name tells.
// Where several tools run at once, each runner waits for its own tool only (setOwnToolOnly).
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

    // Starts the stored command line, or CommandLine when it is not empty (it is then stored), and
    // returns at once; the events follow. False, with the message box shown and no event, when it
    // cannot be started.
    bool Start(const QByteArray& CommandLine = QByteArray());

    // Start, then wait for the command's end with window events running. For callers that need the
    // output in hand; returns it, or an empty string when the command cannot be started.
    QString ExecuteCommand(const QByteArray& CommandLine = QByteArray());

    bool isRunning() const { return m_run != nullptr; }
    // The running child's process id (also its process group), or -1.
    pid_t processId() const;

    // Ends the running command at once: its process group gets SIGTERM now and SIGKILL two seconds
    // later if it is still there. No CommandOver follows; afterEnd runs once the tool has ended.
    void Stop(std::function<void()> afterEnd = {});

    // True: the command is over when its own child has ended, whatever else of the tool's name runs.
    void setOwnToolOnly(bool own) { m_ownToolOnly = own; }

    ExitInfo lastExit() const { return m_lastExit; }

signals:
    void ReceiveOutputs(const QString& CommandOutputs);
    void CommandOver();
    // The running command was stopped (Stop); no CommandOver follows.
    void Stopped();

private:
    struct Run;

    bool IsProcessRunning(const QString& imageName);
    void pass();
    void reap();
    void finish();

    QByteArray m_commandLine;
    QString m_outputs;
    QStringDecoder m_decoder;
    ExitInfo m_lastExit;
    bool m_ownToolOnly = false;
    std::unique_ptr<Run> m_run;
};
