#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <sys/types.h>

// Runs one console command line at a time as a hidden child process, hands everything it writes on
// standard output and standard error to the owner piece by piece (ReceiveOutputs), and says when the
// command is over (CommandOver). All waiting happens on the calling thread with window events running.
//
// The command counts as over once the pipe holds nothing and no process named "conv.exe" is left on
// the machine: the conversion tool may hand its work to processes of its own, and only the name tells.
class DOSOutputs : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kToolImageName = "conv.exe";
    static constexpr int kReadSize = 1024;
    static constexpr int kPauseMs = 50;

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

    // Runs the stored command line, or CommandLine when it is not empty (it is then stored). Returns only
    // when the command is over, or at once with an empty string when it cannot be started.
    QString ExecuteCommand(const QByteArray& CommandLine = QByteArray());

    ExitInfo lastExit() const { return m_lastExit; }

signals:
    void ReceiveOutputs(const QString& CommandOutputs);
    void CommandOver();

private:
    bool IsProcessRunning(const QString& imageName);

    QByteArray m_commandLine;
    QString m_outputs;
    QStringDecoder m_decoder;
    ExitInfo m_lastExit;
};
