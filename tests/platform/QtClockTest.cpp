#include "WaitHelpers.h"

#include <QDate>
#include <QTime>
#include <ctime>
#include <gtest/gtest.h>

namespace kvt::platform::qt {
namespace {

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
