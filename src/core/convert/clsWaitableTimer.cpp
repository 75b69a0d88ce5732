#include "clsWaitableTimer.h"

#include <QEventLoop>
#include <QTimer>

clsWaitableTimer::~clsWaitableTimer()
{
    Wake();
}

void clsWaitableTimer::Wait(int MilliSeconds)
{
    if (MilliSeconds <= 0)
        return;
    if (m_woken) {
        m_woken = false;
        return;
    }
    try {
        QEventLoop loop;
        QTimer due;
        due.setSingleShot(true);
        due.setTimerType(Qt::PreciseTimer);
        QObject::connect(&due, &QTimer::timeout, &loop, &QEventLoop::quit);
        // A nested Wait on the same object (from a handler running inside this one) takes over the
        // pointer; restore it afterwards so Wake() still reaches this loop.
        QPointer<QEventLoop> outer = m_loop;
        m_loop = &loop;
        due.start(MilliSeconds);
        loop.exec();
        m_loop = outer;
        m_woken = false;
    } catch (const std::exception& e) {
        throw Error(std::string("[clsWaitableTimer.Wait]") + e.what());
    } catch (...) {
        throw Error("[clsWaitableTimer.Wait]unknown error");
    }
}

void clsWaitableTimer::Wake()
{
    m_woken = true;
    if (m_loop)
        m_loop->quit();
}
