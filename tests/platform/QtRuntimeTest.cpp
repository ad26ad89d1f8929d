#include "platform/qt/QtRuntime.h"
#include "WaitHelpers.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <optional>
#include <sys/resource.h>

namespace kvt::platform::qt {
namespace {

using test::waitFor;

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

TEST(QtEventPump, WaitEndsWhenAnEventMakesThePredicateTrue) {
    QtEventPump pump;
    int tests = 0;
    EXPECT_TRUE(pump.waitUntil([&] { return ++tests > 0; }));
    EXPECT_EQ(tests, 1); // already true: no event handled, no second test

    bool flipped = false;
    QTimer::singleShot(20, [&] { flipped = true; });
    EXPECT_TRUE(waitFor(pump, [&] { return flipped; }));
    EXPECT_FALSE(pump.shuttingDown());
}

TEST(QtEventPump, WaitingCostsNoCpu) {
    QtEventPump pump;
    QElapsedTimer wall;
    const double cpuBefore = processCpuSeconds();
    wall.start();
    test::settle(pump, 300);
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double cpuSeconds = processCpuSeconds() - cpuBefore;
    // A waiting loop that polls would burn the whole wall time.
    EXPECT_LT(cpuSeconds, 0.3 * wallSeconds) << cpuSeconds << " s CPU in " << wallSeconds << " s";
}

TEST(QtEventPump, ShutdownEndsNestedWaits) {
    QtEventPump pump;
    bool expired = false; // safety: ends every wait if shutdown() fails to
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&] { expired = true; });
    limit.start(5000);

    std::optional<bool> inner;
    bool innerSawShutdown = false;
    QTimer stopper;
    stopper.setSingleShot(true);
    QObject::connect(&stopper, &QTimer::timeout, [&] { pump.shutdown(); });
    QTimer nested;
    nested.setSingleShot(true);
    QObject::connect(&nested, &QTimer::timeout, [&] {
        // A handler that waits in turn, as a sender does; the program quits meanwhile.
        stopper.start(10);
        inner = pump.waitUntil([&] { return expired; });
        innerSawShutdown = pump.shuttingDown();
    });
    nested.start(10);

    const bool outer = pump.waitUntil([&] { return expired; });
    EXPECT_FALSE(expired || outer);
    EXPECT_EQ(inner, false);
    EXPECT_TRUE(innerSawShutdown);
    // Once shut down, a new wait gives up at once, even one whose condition holds.
    EXPECT_FALSE(pump.waitUntil([] { return true; }));
}

TEST(QtTimer, ZeroIntervalIsDisabled) {
    QtEventPump pump;
    QtTimer timer(0);
    int ticks = 0;
    timer.setOnTick([&] { ++ticks; });

    timer.start();
    EXPECT_FALSE(timer.isActive());
    // Given an interval, a started timer runs.
    timer.setInterval(5);
    EXPECT_TRUE(timer.isActive());
    EXPECT_TRUE(waitFor(pump, [&] { return ticks >= 2; }));
    timer.setInterval(0);
    EXPECT_FALSE(timer.isActive());

    // A stopped timer stays stopped when its interval changes.
    timer.stop();
    timer.setInterval(5);
    EXPECT_FALSE(timer.isActive());
    timer.start();
    EXPECT_TRUE(timer.isActive());
}

TEST(QtRuntime, TimersTickThroughTheRuntime) {
    QtRuntime runtime;
    auto timer = runtime.createTimer(5);
    int ticks = 0;
    timer->setOnTick([&] {
        // A tick that stops its own timer, as the no-reply timer does.
        ++ticks;
        timer->stop();
    });
    timer->start();
    auto& pump = dynamic_cast<QtEventPump&>(runtime.pump());
    EXPECT_TRUE(waitFor(pump, [&] { return ticks == 1; }));
    EXPECT_FALSE(timer->isActive());

    // Seconds, not milliseconds.
    const double timeOfDay = runtime.clock().timeOfDay();
    EXPECT_GE(timeOfDay, 0.0);
    EXPECT_LT(timeOfDay, 86400.0);
}

} // namespace
} // namespace kvt::platform::qt
