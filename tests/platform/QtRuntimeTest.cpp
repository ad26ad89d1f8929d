#include "platform/qt/QtRuntime.h"
#include "WaitHelpers.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <optional>

namespace kvt::platform::qt {
namespace {

using test::waitFor;

TEST(QtEventPump, ShutdownEndsNestedWaits) {
    QtEventPump pump;
    int tests = 0;
    EXPECT_TRUE(pump.waitUntil([&] { return ++tests > 0; }));
    EXPECT_EQ(tests, 1); // already true: no event handled, no second test

    QObject context;      // the timers below go with it
    bool expired = false; // safety: ends every wait if shutdown() fails to
    QTimer::singleShot(5000, &context, [&] { expired = true; });
    std::optional<bool> inner;
    bool innerSawShutdown = false;
    QTimer::singleShot(10, &context, [&] {
        // A handler that waits in turn, as a sender does; the program quits meanwhile.
        QTimer::singleShot(10, &context, [&] { pump.shutdown(); });
        inner = pump.waitUntil([&] { return expired; });
        innerSawShutdown = pump.shuttingDown();
    });

    const bool outer = pump.waitUntil([&] { return expired; });
    EXPECT_FALSE(expired || outer);
    EXPECT_EQ(inner, false);
    EXPECT_TRUE(innerSawShutdown);
    // Once shut down, a new wait gives up at once, even one whose condition holds.
    EXPECT_FALSE(pump.waitUntil([] { return true; }));
}

TEST(QtRuntime, TimersTickAndAZeroIntervalDisablesThem) {
    QtRuntime runtime;
    auto& pump = dynamic_cast<QtEventPump&>(runtime.pump());
    auto timer = runtime.createTimer(0);
    int ticks = 0;
    // A tick that stops its own timer, as the no-reply timer does.
    timer->setOnTick([&] {
        if (++ticks == 2)
            timer->stop();
    });
    timer->start();
    EXPECT_FALSE(timer->isActive());
    // Given an interval, a started timer runs.
    timer->setInterval(5);
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(waitFor(pump, [&] { return ticks == 2; }));
    EXPECT_FALSE(timer->isActive());
    // A stopped timer stays stopped when its interval changes.
    timer->setInterval(7);
    EXPECT_FALSE(timer->isActive());
    timer->start();
    EXPECT_TRUE(timer->isActive());
    timer->setInterval(0);
    EXPECT_FALSE(timer->isActive());
}

} // namespace
} // namespace kvt::platform::qt
