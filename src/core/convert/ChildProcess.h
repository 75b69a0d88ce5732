#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <sys/types.h>

// One child process of the program and the descriptors that talk to it, started from a plan.
//
// Every descriptor is opened close-on-exec: a child never holds another child's pipe open, or that
// pipe's reader would wait for an end that never comes. The child leads a process group of its own with
// no signal blocked, so a Ctrl+C or a closed terminal meant for the program does not reach it and a stop
// reaches whatever it started; signals the program ignores (SIGPIPE) stay ignored in it. Variables only
// our tool reads are never inherited, only set by the plan: a tool must not write to a descriptor nobody
// reads or wait for jobs nobody sends.
class ChildProcess
{
public:
    // Standard input: /dev/null, or a socket the program writes to (input()). A socket rather than a
    // pipe: writing to a child that has died fails instead of raising SIGPIPE.
    enum class Input { Nothing, Socket };
    // Standard error: on the console pipe with standard output, or /dev/null.
    enum class Errors { Console, Nowhere };

    struct Plan
    {
        QList<QByteArray> arguments; // the program first; a name without "/" is looked up on PATH
        QList<QByteArray> variables; // "NAME=value" on top of the program's environment
        Input input = Input::Nothing;
        Errors errors = Errors::Console;
        // A pipe on descriptor 3 for the tool's record (ToolRecord.h), and the variable that names it.
        bool record = false;
    };

    struct Failure
    {
        enum class Step { Pipe, Spawn };
        Step step = Step::Spawn;
        int error = 0;
        // What the user is told.
        QString text() const;
    };

    // The running child, or null with why in failure (no descriptor is left open then).
    static std::unique_ptr<ChildProcess> Spawn(const Plan& plan, Failure* failure = nullptr);

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Closes the program's ends; a child not reaped yet is continued, if it was held, and left to
    // ChildReaper.
    ~ChildProcess();

    // Also the id of its process group.
    pid_t pid() const { return m_pid; }
    // Readable once the child has ended; -1 on a kernel without pidfd.
    int pidFd() const { return m_pidFd; }
    // The program's ends, non-blocking: the console's read end, the record's (-1 unless asked), the
    // input socket (-1 unless asked).
    int console() const { return m_console; }
    int record() const { return m_record; }
    int input() const { return m_input; }

    // Reaps the child if it has ended (or waits for it); true once it is reaped or no longer ours.
    bool reap(bool wait = false);
    bool reaped() const { return m_reaped; }
    // Its wait status once reaped, -1 when somebody else reaped it.
    int waitStatus() const { return m_waitStatus; }

    // Ends the child's process group: SIGTERM now, SIGKILL after killAfterMs. onEnded gets the wait
    // status, at once when the child has ended already, else from the event loop once it is reaped.
    void stop(int killAfterMs, std::function<void(int waitStatus)> onEnded);

private:
    ChildProcess() = default;

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_console = -1;
    int m_record = -1;
    int m_input = -1;
    bool m_reaped = false;
    int m_waitStatus = -1;
};
