#include "platform/qt/QtRuntime.h"
#include "WaitHelpers.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QTime>
#include <QTimer>

#include <ctime>
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

// The clock keeps the zone offset between look-ups: its time of day and date must still be
// the local ones, in zones east and west of Greenwich and on a half hour.
TEST(QtClock, LocalTimeAndDateInEveryZone) {
    const auto restore = qScopeGuard([] { ::tzset(); });
    const auto tz = test::scopedEnv("TZ", std::nullopt);
    for (const char* zone :
         {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "IST-5:30", "NZST-12NZDT,M9.5.0,M4.1.0/3"}) {
        SCOPED_TRACE(zone);
        qputenv("TZ", zone);
        ::tzset();
        QtClock clock;
        const double expected = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
        const double got = clock.timeOfDay();
        const QDate today = QDate::currentDate();
        if (expected < 2 || expected > 86398)
            continue; // too close to midnight to compare dates
        EXPECT_NEAR(got, expected, 1.0);
        const Date d = clock.date();
        EXPECT_EQ((QDate(d.year, d.month, d.day)), today);
    }
}

} // namespace
} // namespace kvt::platform::qt
