#include "platform/qt/QtRuntime.h"

#include <QDate>
#include <QTime>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace kvt::platform::qt {
namespace {

// The clock keeps the zone offset between look-ups: its time of day and date must still be
// the local ones, in zones east and west of Greenwich and on a half hour.
TEST(QtClock, LocalTimeAndDateInEveryZone) {
    const char* saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    for (const char* zone :
         {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "IST-5:30", "NZST-12NZDT,M9.5.0,M4.1.0/3"}) {
        SCOPED_TRACE(zone);
        ::setenv("TZ", zone, 1);
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
    if (saved)
        ::setenv("TZ", before.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

} // namespace
} // namespace kvt::platform::qt
