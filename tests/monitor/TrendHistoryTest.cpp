#include "monitor/TrendHistory.h"
#include "monitor/CsvExport.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <clocale>
#include <cmath>
#include <csignal>
#include <limits>
#include <optional>
#include <tuple>

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
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"12.5", 12.5},          {" -3.25 SCCM", -3.25}, {"0", 0.0},
        {"", std::nullopt},      {"ABC", std::nullopt},  {"+.", std::nullopt},
        {"1e999", std::nullopt}, // beyond what the history keeps: unreadable, not a spike
    };
    for (const auto& [reply, value] : cases)
        EXPECT_EQ(trendReading(reply), value) << '"' << reply << '"';
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
        std::vector<double> at = {}; // seconds from the first; none: one a second
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
        {"monitoring paused for 25 s", {1, 1, 1, 1}, {1, 1, 1, 1}, 1000, {2, 2}, {0, 5, 30, 31}},
    };
    for (const auto& c : cases) {
        TrendHistory hist;
        auto dev = hist.device({"1", "0A", "x"});
        double at = 0;
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            at = c.at.empty() ? static_cast<double>(i) : c.at[i];
            hist.append(dev, t0 + at, c.values[i], 5.0, c.units[i]);
        }
        auto runs = hist.plot(dev, t0, t0 + at + 1.0, c.columns);
        std::vector<std::size_t> lengths;
        for (const auto& r : runs)
            lengths.push_back(r.points.size());
        EXPECT_EQ(lengths, c.runLengths) << c.what;
    }
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

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Readings a quarter second apart plotted over `columns` columns of the whole span, drawn with x
// in milliseconds from the first reading.
TrendPolylines drawn(const std::vector<std::optional<double>>& values, int columns) {
    constexpr double t0 = 1'700'000'000.0;
    TrendHistory h;
    const auto d = h.device({"1", "0A", "x"});
    for (std::size_t i = 0; i < values.size(); ++i)
        h.append(d, t0 + 0.25 * static_cast<double>(i), values[i], 40.0 + static_cast<double>(i),
                 1);
    return trendPolylines(h.plot(d, t0, t0 + 0.25 * static_cast<double>(values.size()), columns),
                          1000.0, -t0 * 1000.0);
}

// One coordinate of every point of a line.
std::vector<double> ys(const std::vector<TrendXY>& line, double TrendXY::*c = &TrendXY::y) {
    std::vector<double> out;
    for (const auto& p : line)
        out.push_back(p.*c);
    return out;
}

// Equal, NaN matching NaN.
bool same(const std::vector<double>& a, const std::vector<double>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](double x, double y) {
        return (std::isnan(x) && std::isnan(y)) || x == y;
    });
}

TEST(TrendPolylines, OneLineADeviceWithGapsAndExtremesKept) {
    const std::optional<double> gap;
    struct Case {
        const char* what;
        std::vector<std::optional<double>> values;
        int columns;
        std::vector<double> flow, setPoint;
    };
    const Case cases[] = {
        {"a reading a column", {1, 2, 3}, 3, {1, 2, 3}, {40, 41, 42}},
        {"extremes of a column, not its average", {5, 1, 9, 5, 6, 6, 6, 6}, 2, {1, 9, 6}, {43, 47}},
        {"a gap breaks both lines", {1, gap, 3, 4}, 4, {1, kNan, 3, 4}, {40, kNan, 42, 43}},
    };
    for (const auto& [what, values, columns, flow, setPoint] : cases) {
        SCOPED_TRACE(what);
        const auto p = drawn(values, columns);
        EXPECT_TRUE(same(ys(p.flow), flow)) << ::testing::PrintToString(ys(p.flow));
        EXPECT_TRUE(same(ys(p.setPoint), setPoint)) << ::testing::PrintToString(ys(p.setPoint));
    }
}

TEST(TrendPolylines, PlacesColumnsInTimeAndReportsTheRange) {
    const auto p = drawn({2, 8, 5, 5}, 2);
    EXPECT_EQ(ys(p.flow, &TrendXY::x), (std::vector<double>{0, 0, 500}));
    EXPECT_EQ(p.low, 2.0);
    EXPECT_EQ(p.high, 43.0); // the set point is drawn too
    const auto none = trendPolylines({}, 1.0, 0.0);
    EXPECT_TRUE(none.flow.empty());
    EXPECT_FALSE(none.high >= none.low);
}

std::string_view unitName(int u) {
    return u == 1 ? "SCCM" : "SLM";
}

struct CsvExportTest : ::testing::Test {
    TrendHistory h;
    test::TempFolder folder;
    // 2026-03-01 12:00:00.250 local.
    const double t0 = localSeconds(2026, 3, 1, 12 * 3600.0 + 0.25);
    const std::string header = "Time,Device,Address,Name,Flow,Set Point,Unit\r\n";
};

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"Line 1", "Line 1"},
        {"N2, main", "\"N2, main\""},
        {"6\" pipe", "\"6\"\" pipe\""},
        {"a\r\nb", "\"a\r\nb\""},
        {"", ""},
        {"\"", "\"\"\"\""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(csvField(in), out) << in;
}

TEST(CsvTime, IsoLocalWithMilliseconds) {
    const std::pair<double, const char*> cases[] = {
        {localSeconds(2026, 12, 6, 14 * 3600 + 52 * 60 + 40.123), "2026-12-06T14:52:40.123"},
        {localSeconds(2024, 2, 29, 0.0), "2024-02-29T00:00:00.000"},
        {localSeconds(2025, 12, 31, 86399.9996), "2026-01-01T00:00:00.000"}, // rounds up whole
        {0.0, "1970-01-01T00:00:00.000"},
        {-0.001, "1969-12-31T23:59:59.999"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(isoLocalTime(seconds), text);
}

TEST(CsvNumberText, DecimalPointWhateverTheLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(csvNumber(0.1F), "0.1");
    EXPECT_EQ(csvNumber(-100.25F), "-100.25");
    EXPECT_EQ(csvNumber(-0.0F), "0");
    EXPECT_EQ(csvNumber(std::numeric_limits<float>::quiet_NaN()), "");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST_F(CsvExportTest, TextExactlyWithGapAndAwkwardName) {
    auto a = h.device({"1", "0A", "N2, \"main\" line"});
    auto b = h.device({"2", "0B", "Ar"});
    h.append(a, t0, 12.5, 50.0, 1);
    h.append(a, t0 + 0.05, std::nullopt, 50.0, 1);
    h.append(b, t0 + 0.1, 0.75, 1.0, 2);
    EXPECT_EQ(trendCsv(h, -INFINITY, INFINITY, unitName),
              header + "2026-03-01T12:00:00.250,1,0A,\"N2, \"\"main\"\" line\",12.5,50,SCCM\r\n"
                       "2026-03-01T12:00:00.300,1,0A,\"N2, \"\"main\"\" line\",,50,SCCM\r\n"
                       "2026-03-01T12:00:00.350,2,0B,Ar,0.75,1,SLM\r\n");
}

TEST_F(CsvExportTest, VisibleRangeAndOlderSeconds) {
    auto a = h.device({"1", "0A", "x"});
    // Two readings in one second, an hour and more ago: one line with the last of them.
    h.append(a, t0, 1.0, 0.0, 1);
    h.append(a, t0 + 0.5, 2.0, 0.0, 1);
    h.append(a, t0 + 4000.0, 3.0, 0.0, 1);
    EXPECT_EQ(trendCsv(h, -INFINITY, INFINITY, unitName),
              header + "2026-03-01T12:00:00.750,1,0A,x,2,0,SCCM\r\n"
                       "2026-03-01T13:06:40.250,1,0A,x,3,0,SCCM\r\n");
    EXPECT_EQ(trendCsv(h, t0 + 1.0, t0 + 5000.0, unitName),
              header + "2026-03-01T13:06:40.250,1,0A,x,3,0,SCCM\r\n");
}

TEST_F(CsvExportTest, WriteErrorLeavesTheOldFileAndSaysWhy) {
    ASSERT_TRUE(folder.valid());
    auto a = h.device({"1", "0A", "x"});
    h.append(a, t0, 1.0, 0.0, 1);
    const std::string path = folder.file("trend.csv");
    ASSERT_EQ(exportTrendCsv(path, h, -INFINITY, INFINITY, unitName), "");
    EXPECT_EQ(test::readFile(path), trendCsv(h, -INFINITY, INFINITY, unitName));

    // A full disk, as root meets it too: no file may grow past a few bytes.
    h.append(a, t0 + 1.0, 2.0, 0.0, 1);
    auto previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 16;
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    const std::string error = exportTrendCsv(path, h, -INFINITY, INFINITY, unitName);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(error.rfind("Cannot write " + path + ": ", 0), 0U) << error;
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_EQ(test::readFile(path).find("2026-03-01T12:00:01"), std::string::npos);
}

} // namespace
} // namespace kvt::monitor
