#pragma once

#include <QPointer>
#include <stdexcept>
#include <string>

class QEventLoop;

// Pauses the caller without freezing the window: window events keep running while it waits.
class clsWaitableTimer
{
public:
    class Error : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    clsWaitableTimer() = default;
    ~clsWaitableTimer();
    clsWaitableTimer(const clsWaitableTimer&) = delete;
    clsWaitableTimer& operator=(const clsWaitableTimer&) = delete;

    // Returns when MilliSeconds have passed (at once for 0 or less), or earlier when Wake() is called.
    // Anything thrown inside reaches the caller as an Error whose text starts with "[clsWaitableTimer.Wait]".
    void Wait(int MilliSeconds);

    // Ends the wait in progress, or the next one if none runs: a caller that learns of new work just
    // before it pauses must not sleep through it.
    void Wake();

    bool isWaiting() const { return !m_loop.isNull(); }

private:
    QPointer<QEventLoop> m_loop;
    bool m_woken = false;
};
