#include "monitor/TrendHistory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace kvt::monitor {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// Readings a quarter second apart plotted over `columns` columns of the whole span, drawn with x
// in milliseconds from the first reading.
TrendPolylines drawn(const std::vector<std::optional<double>>& values,
                     const std::vector<int>& units, int columns) {
    constexpr double t0 = 1'700'000'000.0;
    TrendHistory h;
    const auto d = h.device({"1", "0A", "x"});
    for (std::size_t i = 0; i < values.size(); ++i)
        h.append(d, t0 + 0.25 * static_cast<double>(i), values[i], 40.0 + static_cast<double>(i),
                 units[i]);
    return trendPolylines(h.plot(d, t0, t0 + 0.25 * static_cast<double>(values.size()), columns),
                          1000.0, -t0 * 1000.0);
}

std::vector<double> ys(const std::vector<TrendXY>& line) {
    std::vector<double> out;
    for (const auto& p : line)
        out.push_back(p.y);
    return out;
}

// Equal, NaN matching NaN.
bool same(const std::vector<double>& a, const std::vector<double>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](double x, double y) {
        return (std::isnan(x) && std::isnan(y)) || x == y;
    });
}

} // namespace

TEST(TrendPolylines, OneLineADeviceWithGapsAndExtremesKept) {
    const std::optional<double> gap;
    struct Case {
        const char* what;
        std::vector<std::optional<double>> values;
        std::vector<int> units;
        int columns;
        std::vector<double> flow;
        std::vector<double> setPoint;
    };
    const Case cases[] = {
        {"a reading a column", {1, 2, 3}, {1, 1, 1}, 3, {1, 2, 3}, {40, 41, 42}},
        {"extremes of a column, not its average",
         {5, 1, 9, 5, 6, 6, 6, 6},
         {1, 1, 1, 1, 1, 1, 1, 1},
         2,
         {1, 9, 6},
         {43, 47}},
        {"a gap breaks both lines",
         {1, gap, 3, 4},
         {1, 1, 1, 1},
         4,
         {1, kNan, 3, 4},
         {40, kNan, 42, 43}},
        {"a unit change breaks them",
         {1, 2, 3, 4},
         {1, 1, 2, 2},
         4,
         {1, 2, kNan, 3, 4},
         {40, 41, kNan, 42, 43}},
        {"a gap inside a column breaks after it",
         {1, gap, 3, 4},
         {1, 1, 1, 1},
         2,
         {1, kNan, 3, 4},
         {40, kNan, 43}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto p = drawn(c.values, c.units, c.columns);
        EXPECT_TRUE(same(ys(p.flow), c.flow)) << ::testing::PrintToString(ys(p.flow));
        EXPECT_TRUE(same(ys(p.setPoint), c.setPoint)) << ::testing::PrintToString(ys(p.setPoint));
    }
}

TEST(TrendPolylines, PlacesColumnsInTimeAndReportsTheRange) {
    const auto p = drawn({2, 8, 5, 5}, {1, 1, 1, 1}, 2);
    ASSERT_EQ(p.flow.size(), 3u);
    EXPECT_EQ(p.flow[0].x, 0.0);
    EXPECT_EQ(p.flow[1].x, 0.0);
    EXPECT_EQ(p.flow[2].x, 500.0);
    EXPECT_EQ(p.low, 2.0);
    EXPECT_EQ(p.high, 43.0); // the set point is drawn too
    const auto none = trendPolylines({}, 1.0, 0.0);
    EXPECT_TRUE(none.flow.empty());
    EXPECT_FALSE(none.high >= none.low);
}

} // namespace kvt::monitor
