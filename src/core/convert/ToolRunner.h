#pragma once

#include "ToolRecord.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <functional>
#include <sys/types.h>

class ChildProcess;

// What the batch asks of a tool runner, whichever way it runs the tool: one process per command
// (DOSOutputs) or jobs for one process it keeps (ToolWorker). One command at a time: its console output
// piece by piece (ReceiveOutputs), then CommandOver, with how it ended and what the tool recorded.
class ToolRunner : public QObject
{
    Q_OBJECT
public:
    static constexpr int kReadSize = 1024;
    static constexpr int kKillAfterMs = 2000;
    // An analysis of ten hours gives some 3,600 lines; more is a tool gone wrong, not kept.
    static constexpr qsizetype kMaxRecordLines = 100000;

    // How the last command ended, as far as it was known when CommandOver was raised.
    struct ExitInfo
    {
        enum class Kind { Unknown, Exited, Signaled };
        Kind kind = Kind::Unknown;
        int code = 0; // exit status for Exited, signal number for Signaled

        bool succeeded() const { return kind == Kind::Exited && code == 0; }
    };

    static ExitInfo exitInfoOf(int waitStatus);

    using QObject::QObject;

    // Runs the tool with these arguments (the program first) and returns at once; the events follow.
    // False, with the message box shown and no event, when it cannot be started.
    virtual bool Start(const QList<QByteArray>& arguments) = 0;
    // A command is in hand.
    virtual bool isRunning() const = 0;
    // The tool process's id (also its process group), or -1.
    virtual pid_t processId() const = 0;
    // Ends the command in hand at once: the tool's process group gets SIGTERM now and SIGKILL
    // kKillAfterMs later if it is still there. Stopped follows, no CommandOver; afterEnd runs once the
    // tool has ended, with how it ended (a tool may have finished its file before the signal came).
    virtual void Stop(std::function<void(ExitInfo)> afterEnd = {}) = 0;

    // Holds the tool where it is: its process group gets SIGSTOP, so the tool and whatever it started
    // use no CPU and write nothing until Resume. A job sent to a held worker waits for Resume too.
    // False when no tool process is there to hold.
    bool Pause();
    // Lets a held tool go on (SIGCONT to its group); false when it was not held. Stop needs no Resume
    // first: a stopped tool is continued after the SIGTERM, so its handler removes its part file.
    bool Resume();
    // The tool process in hand is held.
    bool isPaused() const { return m_pausedGroup > 0 && m_pausedGroup == processId(); }

    // Everything read for the current or last command.
    QString Outputs() const { return m_outputs; }
    ExitInfo lastExit() const { return m_lastExit; }
    // The record entries of the current or last command, all of them once CommandOver is raised.
    const QList<ToolRecord::Entry>& records() const { return m_records; }
    // The tags the tool recorded for the current or last command (a tag probe, ToolTags.h), by field,
    // each value's bytes as PathBytes::Decode keeps them; complete once CommandOver is raised.
    const QHash<QString, QString>& tags() const { return m_tags; }
    // The record's other lines of the current or last command (an analysis's tags, blocks and
    // loudness), each without its "\n", for the readers that know them.
    const QList<QByteArray>& recordLines() const { return m_recordLines; }

signals:
    void ReceiveOutputs(const QString& CommandOutputs);
    void CommandOver();
    void Stopped();

protected:
    // A new command: nothing read, no end known, nothing recorded.
    void beginCommand();
    // One read of the console pipe, handed on (ReceiveOutputs) unless told not to. The read's result:
    // bytes read, 0 at the end of the pipe, -1 with errno.
    ssize_t readConsolePiece(int fd, bool handOn = true);
    // The whole entries the record pipe holds by now; *ended once the pipe has reached its end.
    QList<ToolRecord::Entry> readRecords(int fd, bool* ended);
    // Ends the child's process group as Stop says; afterEnd, if any, gets how the child ended.
    static void stopChild(ChildProcess& child, std::function<void(ExitInfo)> afterEnd);

    ExitInfo m_lastExit;
    QList<ToolRecord::Entry> m_records;
    QHash<QString, QString> m_tags;
    QList<QByteArray> m_recordLines;

private:
    QString m_outputs;
    pid_t m_pausedGroup = -1;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    QByteArray m_recordBuffer;
};
