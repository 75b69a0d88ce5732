#include "convert/clsWaitableTimer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(WaitableTimer, ZeroReturnsAtOnceWithoutRunningEvents)
{
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    clsWaitableTimer timer;
    timer.Wait(0);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(timer.isWaiting());
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
}

TEST(WaitableTimer, KeepsEventsRunningForTheWholePause)
{
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    clsWaitableTimer timer;
    QElapsedTimer clock;
    clock.start();
    timer.Wait(60);
    EXPECT_GE(clock.elapsed(), 55);
    EXPECT_GE(ticks, 3);
    EXPECT_FALSE(timer.isWaiting());
}

TEST(WaitableTimer, WakeEndsTheCurrentOrTheNextWait)
{
    clsWaitableTimer timer;
    QTimer::singleShot(10, [&] { timer.Wake(); });
    QElapsedTimer clock;
    clock.start();
    timer.Wait(5000);
    EXPECT_LT(clock.elapsed(), 4000);

    timer.Wake();
    clock.restart();
    timer.Wait(5000);
    EXPECT_LT(clock.elapsed(), 4000);
}

TEST(WaitableTimer, ErrorInsideReachesCallerWithItsNameInFront)
{
    clsWaitableTimer timer;
    QTimer::singleShot(0, [] { throw std::runtime_error("disk on fire"); });
    try {
        timer.Wait(1000);
        ADD_FAILURE() << "no error reached the caller";
    } catch (const clsWaitableTimer::Error& e) {
        EXPECT_STREQ(e.what(), "[clsWaitableTimer.Wait]disk on fire");
    }
    EXPECT_FALSE(timer.isWaiting());
}

} // namespace
