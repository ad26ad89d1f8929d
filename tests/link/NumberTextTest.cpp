#include "link/NumberText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

using namespace kvt::link;

TEST(NumberText, FormatNumberGivesShortestForm) {
    // Beyond 15 significant digits an exponent is the only honest form.
    // clang-format off
    const std::pair<double, const char*> rows[] = {
        {10000, "10000"}, {0.75, "0.75"}, {0.1 + 0.2, "0.3"}, {-0.0, "0"}, {-2.5, "-2.5"},
        {1.0 / 3.0, "0.333333333333333"},
        {123456789012345.0, "123456789012345"}, {0.0001, "0.0001"},
        {1234567890123456789.0, "1.23456789012346e+18"}, {std::nan(""), "0"},
        {std::numeric_limits<double>::infinity(), "0"}};
    // clang-format on
    for (const auto& [v, text] : rows)
        EXPECT_EQ(formatNumber(v), text) << v;
}

TEST(NumberText, FormatPatternKeepsDecimalsAndRounding) {
    // 1.0005 is stored just below the half: correct rounding gives 1.000, not 1.001. A negative
    // value that shows as zero carries no sign.
    // clang-format off
    const struct { double v; const char *pattern, *text; } rows[] = {
        {12.5, "####0.000", "12.500"}, {1.23456, "######0.0000", "1.2346"},
        {-3.14159, "####0.000000", "-3.141590"}, {99.95, "###0.0", "100.0"},
        {1234.5678, "######0.00", "1234.57"}, {1e20, "####0.000", "100000000000000000000.000"},
        {1.0005, "#0.000", "1.000"}, {-0.0004, "####0.000", "0.000"},
        {-0.0, "#####0.000", "0.000"}, {std::nan(""), "####0.000", "0.000"},
        {238.5, "#####", "239"}, {-238.5, "#####", "-239"}, {238.49, "#####", "238"},
        {-0.4, "#####", "0"}};
    // clang-format on
    for (const auto& r : rows)
        EXPECT_EQ(formatPattern(r.v, r.pattern), r.text) << r.v << " " << r.pattern;
    for (const char* bad : {"0.00", "", "####0.000 "})
        EXPECT_THROW(formatPattern(1, bad), std::invalid_argument) << bad;
}

TEST(NumberText, LeadingNumberReadsUpToTheFirstOtherCharacter) {
    // From "" on there is no leading number.
    // clang-format off
    const std::pair<const char*, double> rows[] = {
        {"1 2.5", 12.5}, {" \t-3.5e2xyz", -350}, {"- 1 . 5 E + 1", -15}, {"1.5D3", 1500},
        {"2.5d-1", 0.25}, {"12abc", 12}, {"1.2.3", 1.2}, {".5", 0.5}, {"5.", 5}, {"+4", 4},
        {"\n7\n", 7}, {"1e", 1}, {"1e+", 1}, {"3,5", 3}, {"12.345 SLPM", 12.345},
        {"", 0}, {"abc", 0}, {".", 0}, {"-", 0}, {"--4", 0}, {"e5", 0}, {"\r5", 0}};
    // clang-format on
    for (const auto& [text, v] : rows)
        EXPECT_DOUBLE_EQ(leadingNumber(text), v) << text;
}

TEST(NumberText, LeadingNumberSurvivesExtremeInput) {
    EXPECT_EQ(leadingNumber("1e999999999999999999999999"), DBL_MAX);
    EXPECT_EQ(leadingNumber("-1e400"), -DBL_MAX);
    EXPECT_EQ(leadingNumber("1e-400"), 0);
    EXPECT_EQ(leadingNumber("1e-999999999999999999999999"), 0);
    EXPECT_EQ(leadingNumber("1.7976931348623157e308"), DBL_MAX);
    EXPECT_EQ(leadingNumber("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());

    EXPECT_EQ(leadingNumber("1" + std::string(5000, '0') + "e-5000"), 1);
    EXPECT_EQ(leadingNumber("0." + std::string(5000, '0') + "25e5001"), 2.5);
    EXPECT_EQ(leadingNumber(std::string(100000, '9')), DBL_MAX);
    EXPECT_EQ(leadingNumber(std::string(100000, ' ')), 0);
    // 2^53 + 1 lies exactly between two doubles and goes to the even one; a non-zero digit far
    // behind it must still tip it upwards.
    EXPECT_EQ(leadingNumber("9007199254740993"), 9007199254740992.0);
    EXPECT_EQ(leadingNumber("9007199254740993." + std::string(2000, '0') + "1"),
              9007199254740994.0);
}

TEST(NumberText, StorableNumbersReadBack) {
    for (double v : {0.0, -12.5, 1e300, 1.7976931348623e308, 5e-324})
        EXPECT_TRUE(storable(v)) << v;
    for (double v : {std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN(), -1.79769313486232e308})
        EXPECT_FALSE(storable(v)) << v;
}

TEST(NumberText, OperatorNumberAndIsNumberReadCommasAsPoints) {
    EXPECT_DOUBLE_EQ(operatorNumber("0,75"), 0.75);
    EXPECT_DOUBLE_EQ(operatorNumber("1,234.5"), 1.234);
    EXPECT_DOUBLE_EQ(operatorNumber(" 12.5 "), 12.5);
    EXPECT_EQ(operatorNumber("x"), 0);
    for (const char* yes : {"12.5", " 12,5 ", "-1e3", ".5"})
        EXPECT_TRUE(isNumber(yes)) << yes;
    for (const char* no :
         {"", "   ", "abc", "12a", "1 2", "1.2.3", ".", "-", "1e", "1e999", "inf", "nan"})
        EXPECT_FALSE(isNumber(no)) << no;
    EXPECT_EQ(parseNumber(" 10000 "), 10000);
    EXPECT_FALSE(parseNumber("0,5").has_value());
}

TEST(NumberText, RoundingHalfToEven) {
    const double inf = std::numeric_limits<double>::infinity();
    // clang-format off
    const std::pair<double, long long> rows[] = {
        {246.5, 246}, {247.5, 248}, {-2.5, -2}, {-3.5, -4}, {2.4999999, 2}, {-0.5, 0},
        {0.5000001, 1}, {std::nan(""), 0}, {inf, LLONG_MAX}, {-inf, LLONG_MIN}, {1e300, LLONG_MAX},
        {-9223372036854775808.0, LLONG_MIN}};
    const std::pair<double, int> sixteen[] = {
        {2500.5, 2500}, {40000, 32767}, {-40000, -32768}, {32767.5, 32767}, {std::nan(""), 0}};
    // clang-format on
    for (const auto& [v, n] : rows)
        EXPECT_EQ(roundHalfEven(v), n) << v;
    for (const auto& [v, n] : sixteen)
        EXPECT_EQ(roundToInt16HalfEven(v), n) << v;
}
