#include "monitor/TrendHistory.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvt::monitor {
namespace {

struct TrendHistoryTest : ::testing::Test {
    TrendHistory h;
    std::size_t d = h.device({"1", "0A", "Line 1"});
    static constexpr double t0 = 1'700'000'000.0;

    // Readings every `step` seconds from `start` for `seconds`; `value(i)` gives each one.
    template <typename F>
    void feed(double start, double seconds, double step, F value, int unit = 1) {
        const auto n = static_cast<long>(std::llround(seconds / step));
        for (long i = 0; i < n; ++i)
            h.append(d, start + static_cast<double>(i) * step, value(i), 50.0, unit);
    }
};

TEST(TrendReading, GapsAreNeverZero) {
    struct Case {
        const char* reply;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"12.5", 12.5},
        {" -3.25 SCCM", -3.25},
        {".5", 0.5},
        {"+7", 7.0},
        {"0", 0.0},
        {"", std::nullopt},
        {"ABC", std::nullopt},
        {"-", std::nullopt},
        {"+.", std::nullopt},
        {"E5", std::nullopt},
        {"1e999", std::nullopt}, // beyond what the history keeps: unreadable, not a spike
    };
    for (const auto& c : cases)
        EXPECT_EQ(trendReading(c.reply), c.value) << '"' << c.reply << '"';
}

TEST(TrendLocalSeconds, CivilDates) {
    EXPECT_EQ(localSeconds(2000, 3, 1, 1.5), 951868801.5);
    EXPECT_EQ(localSeconds(2024, 2, 29, 0.0) + 86400.0, localSeconds(2024, 3, 1, 0.0));
}

TEST(TrendRing, KeepsOrderThroughWrapPopAndGrowth) {
    Ring<int> r(4);
    for (int i = 1; i <= 3; ++i)
        EXPECT_FALSE(r.push(i));
    r.popFront();            // 2 3
    EXPECT_FALSE(r.push(4)); // 2 3 4, storage grows around the moved head
    EXPECT_FALSE(r.push(5)); // 2 3 4 5
    EXPECT_EQ(r.push(6), 2); // 3 4 5 6
    ASSERT_EQ(r.size(), 4U);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(r[static_cast<std::size_t>(i)], i + 3);
    EXPECT_LE(r.bytes(), 64 * sizeof(int));
}

TEST_F(TrendHistoryTest, DayAtFiftyMillisecondsStaysBounded) {
    feed(t0, 25 * 3600.0, 0.05, [](long i) { return static_cast<double>(i % 100); });
    const double last = t0 + 25 * 3600.0 - 0.05;
    EXPECT_EQ(h.fine(d).size(), TrendHistory::kFineCapacity);
    EXPECT_NEAR(h.fine(d).front().time, last - 3600.0 + 0.05, 1e-3);
    EXPECT_LE(h.coarse(d).size(), TrendHistory::kCoarseCapacity);
    EXPECT_GE(h.coarse(d).front().lastTime, last - TrendHistory::kKeptSeconds);
    // Older than a day is gone; the day is covered to the second.
    auto span = h.span();
    ASSERT_TRUE(span);
    EXPECT_NEAR(span->second - span->first, TrendHistory::kKeptSeconds - 0.5, 1.5);
    EXPECT_LT(h.bytes(), 5U * 1024 * 1024);
}

TEST_F(TrendHistoryTest, SlowReadingsLeaveFullResolutionAfterAnHour) {
    feed(t0, 2 * 3600.0, 10.0, [](long i) { return static_cast<double>(i); });
    EXPECT_EQ(h.fine(d).size(), 361U);
    EXPECT_GE(h.fine(d).front().time, h.fine(d).back().time - 3600.0);
    EXPECT_EQ(h.coarse(d).size(), 359U);
    EXPECT_EQ(h.coarse(d).back().flowLast, 358.0F);
}

TEST_F(TrendHistoryTest, OlderSecondsKeepRangeLastAndGaps) {
    struct Case {
        std::optional<double> a, b, c;
        float min, max, last;
        bool gap;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {4.0, 1.0, 3.0, 1.0F, 4.0F, 3.0F, false},
        {4.0, std::nullopt, 2.0, 2.0F, 4.0F, 2.0F, true},
        {std::nullopt, std::nullopt, std::nullopt, nan, nan, nan, true},
        {std::nullopt, 5.0, std::nullopt, 5.0F, 5.0F, nan, true},
    };
    double t = t0;
    for (const auto& c : cases) {
        h.append(d, t + 0.1, c.a, 1.0, 1);
        h.append(d, t + 0.4, c.b, 1.0, 1);
        h.append(d, t + 0.7, c.c, 1.0, 1);
        t += 1.0;
    }
    h.append(d, t + 3600.0, 0.0, 1.0, 1); // pushes them all out of the last hour
    ASSERT_EQ(h.coarse(d).size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& b = h.coarse(d)[i];
        const auto& c = cases[i];
        auto same = [](float x, float y) { return (std::isnan(x) && std::isnan(y)) || x == y; };
        EXPECT_TRUE(same(b.flowMin, c.min)) << i;
        EXPECT_TRUE(same(b.flowMax, c.max)) << i;
        EXPECT_TRUE(same(b.flowLast, c.last)) << i;
        EXPECT_EQ(b.gap, c.gap) << i;
        EXPECT_NEAR(b.lastTime, t0 + static_cast<double>(i) + 0.7, 1e-6);
    }
}

TEST_F(TrendHistoryTest, UnitChangeStartsANewBucketTimeNeverGoesBackDevicesAreKnown) {
    h.append(d, t0 + 0.1, 1.0, 0.0, 1);
    h.append(d, t0 + 0.5, 1000.0, 0.0, 2);
    h.append(d, t0 + 3700.0, 0.0, 0.0, 2);
    h.append(d, t0 + 3690.0, 2.0, 0.0, 2);
    EXPECT_EQ(h.fine(d).back().time, t0 + 3700.0);
    ASSERT_EQ(h.coarse(d).size(), 2U);
    EXPECT_EQ(h.coarse(d)[0].flowMax, 1.0F);
    EXPECT_EQ(h.coarse(d)[1].unit, 2);
    // Devices are known by number and address.
    EXPECT_EQ(h.device({"1", "0A", "Renamed"}), d);
    EXPECT_EQ(h.deviceInfo(d).name, "Renamed");
    EXPECT_NE(h.device({"1", "0B", "Line 1"}), d);
    EXPECT_EQ(h.deviceCount(), 2U);
}

TEST_F(TrendHistoryTest, PlotBreaksAtGapsAndUnitsAndDecimates) {
    struct Case {
        const char* what;
        std::vector<std::optional<double>> values; // one a second
        std::vector<int> units;
        int columns;
        std::vector<std::size_t> runLengths;
    };
    const std::optional<double> gap;
    const Case cases[] = {
        {"unbroken", {1, 2, 3, 4}, {1, 1, 1, 1}, 4, {4}},
        {"gap", {1, gap, 3, 4}, {1, 1, 1, 1}, 4, {1, 2}},
        {"gap at the start", {gap, gap, 3, 4}, {1, 1, 1, 1}, 4, {2}},
        {"unit change", {1, 2, 3, 4}, {1, 1, 2, 2}, 4, {2, 2}},
        {"two readings a column", {1, 2, 3, 4}, {1, 1, 1, 1}, 2, {2}},
        {"a gap inside a column breaks after it", {1, gap, 3, 4}, {1, 1, 1, 1}, 2, {1, 1}},
        {"readings sparser than the columns join", {1, 2, 3, 4}, {1, 1, 1, 1}, 8, {4}},
        {"explicit gaps", {1, gap, gap, gap, gap, gap, 7, 8}, {1, 1, 1, 1, 1, 1, 1, 1}, 8, {1, 2}},
    };
    for (const auto& c : cases) {
        TrendHistory hist;
        auto dev = hist.device({"1", "0A", "x"});
        for (std::size_t i = 0; i < c.values.size(); ++i)
            hist.append(dev, t0 + static_cast<double>(i), c.values[i], 5.0, c.units[i]);
        auto runs = hist.plot(dev, t0, t0 + static_cast<double>(c.values.size()), c.columns);
        std::vector<std::size_t> lengths;
        for (const auto& r : runs)
            lengths.push_back(r.points.size());
        EXPECT_EQ(lengths, c.runLengths) << c.what;
    }
}

TEST_F(TrendHistoryTest, PlotBreaksWhereMonitoringPaused) {
    h.append(d, t0, 1.0, 0.0, 1);
    h.append(d, t0 + 5.0, 1.0, 0.0, 1);
    h.append(d, t0 + 30.0, 1.0, 0.0, 1); // stopped for 25 s
    h.append(d, t0 + 31.0, 1.0, 0.0, 1);
    std::vector<std::size_t> lengths;
    for (const auto& r : h.plot(d, t0, t0 + 40.0, 1000))
        lengths.push_back(r.points.size());
    EXPECT_EQ(lengths, (std::vector<std::size_t>{2, 2}));
}

TEST_F(TrendHistoryTest, PlotColumnShowsTheRangeOfItsReadings) {
    feed(t0, 10.0, 0.5, [](long i) { return i % 2 ? -1.0 : static_cast<double>(i); });
    auto runs = h.plot(d, t0, t0 + 10.0, 5);
    ASSERT_EQ(runs.size(), 1U);
    ASSERT_EQ(runs[0].points.size(), 5U);
    EXPECT_EQ(runs[0].points[0].low, -1.0);
    EXPECT_EQ(runs[0].points[0].high, 2.0);
    EXPECT_EQ(runs[0].points[4].high, 18.0);
    EXPECT_EQ(runs[0].points[4].setPoint, 50.0);
}

TEST_F(TrendHistoryTest, PlotOfADayNeverExceedsItsColumns) {
    feed(t0, 26 * 3600.0, 1.0, [](long i) { return static_cast<double>(i % 7); });
    auto span = h.span();
    ASSERT_TRUE(span);
    std::size_t points = 0;
    for (const auto& r : h.plot(d, span->first, span->second + 1.0, 800))
        points += r.points.size();
    EXPECT_GT(points, 700U);
    EXPECT_LE(points, 800U);
}

} // namespace
} // namespace kvt::monitor
