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
    EXPECT_EQ(formatNumber(10000), "10000");
    EXPECT_EQ(formatNumber(2.0), "2");
    EXPECT_EQ(formatNumber(0.75), "0.75");
    EXPECT_EQ(formatNumber(0.5), "0.5");
    EXPECT_EQ(formatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatNumber(-0.0), "0");
    EXPECT_EQ(formatNumber(-2.5), "-2.5");
    EXPECT_EQ(formatNumber(12.5), "12.5");
    EXPECT_EQ(formatNumber(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(formatNumber(123456789012345.0), "123456789012345");
    EXPECT_EQ(formatNumber(0.0001), "0.0001");
    // Beyond 15 significant digits an exponent is the only honest form.
    EXPECT_EQ(formatNumber(1234567890123456789.0), "1.23456789012346e+18");
    EXPECT_EQ(formatNumber(std::nan("")), "0");
    EXPECT_EQ(formatNumber(std::numeric_limits<double>::infinity()), "0");
}

TEST(NumberText, FormatPatternKeepsDecimalsAndRounding) {
    EXPECT_EQ(formatPattern(12.5, "####0.000"), "12.500");
    EXPECT_EQ(formatPattern(0.5, "####0.000"), "0.500");
    EXPECT_EQ(formatPattern(10, "######0.0000"), "10.0000");
    EXPECT_EQ(formatPattern(1.23456, "######0.0000"), "1.2346");
    EXPECT_EQ(formatPattern(-3.14159, "####0.000000"), "-3.141590");
    EXPECT_EQ(formatPattern(0.01, "#0.000000"), "0.010000");
    EXPECT_EQ(formatPattern(99.95, "###0.0"), "100.0");
    EXPECT_EQ(formatPattern(1234.5678, "######0.00"), "1234.57");
    EXPECT_EQ(formatPattern(7, "###0.00"), "7.00");
    EXPECT_EQ(formatPattern(1e20, "####0.000"), "100000000000000000000.000");
    // 1.0005 is stored just below the half: correct rounding gives 1.000, not 1.001.
    EXPECT_EQ(formatPattern(1.0005, "#0.000"), "1.000");
    // A negative value that shows as zero carries no sign.
    EXPECT_EQ(formatPattern(-0.0004, "####0.000"), "0.000");
    EXPECT_EQ(formatPattern(-0.0, "#####0.000"), "0.000");
    EXPECT_EQ(formatPattern(std::nan(""), "####0.000"), "0.000");

    EXPECT_EQ(formatPattern(238.5, "#####"), "239");
    EXPECT_EQ(formatPattern(-238.5, "#####"), "-239");
    EXPECT_EQ(formatPattern(238.49, "#####"), "238");
    EXPECT_EQ(formatPattern(-0.4, "#####"), "0");

    EXPECT_THROW(formatPattern(1, "0.00"), std::invalid_argument);
    EXPECT_THROW(formatPattern(1, ""), std::invalid_argument);
    EXPECT_THROW(formatPattern(1, "####0.000 "), std::invalid_argument);
}

TEST(NumberText, LeadingNumberReadsUpToTheFirstOtherCharacter) {
    EXPECT_DOUBLE_EQ(leadingNumber("1 2.5"), 12.5);
    EXPECT_DOUBLE_EQ(leadingNumber(" \t-3.5e2xyz"), -350);
    EXPECT_DOUBLE_EQ(leadingNumber("- 1 . 5 E + 1"), -15);
    EXPECT_DOUBLE_EQ(leadingNumber("1.5D3"), 1500);
    EXPECT_DOUBLE_EQ(leadingNumber("2.5d-1"), 0.25);
    EXPECT_DOUBLE_EQ(leadingNumber("12abc"), 12);
    EXPECT_DOUBLE_EQ(leadingNumber("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(leadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber("5."), 5);
    EXPECT_DOUBLE_EQ(leadingNumber("+4"), 4);
    EXPECT_DOUBLE_EQ(leadingNumber("\n7\n"), 7);
    EXPECT_DOUBLE_EQ(leadingNumber("1e"), 1);
    EXPECT_DOUBLE_EQ(leadingNumber("1e+"), 1);
    EXPECT_DOUBLE_EQ(leadingNumber("3,5"), 3);
    EXPECT_DOUBLE_EQ(leadingNumber("12.345 SLPM"), 12.345);
    // No leading number.
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber("."), 0);
    EXPECT_EQ(leadingNumber("-"), 0);
    EXPECT_EQ(leadingNumber("--4"), 0);
    EXPECT_EQ(leadingNumber("e5"), 0);
    EXPECT_EQ(leadingNumber("\r5"), 0);
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

    EXPECT_TRUE(isNumber("12.5"));
    EXPECT_TRUE(isNumber(" 12,5 "));
    EXPECT_TRUE(isNumber("-1e3"));
    EXPECT_TRUE(isNumber(".5"));
    EXPECT_FALSE(isNumber(""));
    EXPECT_FALSE(isNumber("   "));
    EXPECT_FALSE(isNumber("abc"));
    EXPECT_FALSE(isNumber("12a"));
    EXPECT_FALSE(isNumber("1 2"));
    EXPECT_FALSE(isNumber("1.2.3"));
    EXPECT_FALSE(isNumber("."));
    EXPECT_FALSE(isNumber("-"));
    EXPECT_FALSE(isNumber("1e"));
    EXPECT_FALSE(isNumber("1e999"));
    EXPECT_FALSE(isNumber("inf"));
    EXPECT_FALSE(isNumber("nan"));

    ASSERT_TRUE(parseNumber(" 10000 ").has_value());
    EXPECT_EQ(*parseNumber(" 10000 "), 10000);
    EXPECT_FALSE(parseNumber("0,5").has_value());
}

TEST(NumberText, RoundingHalfToEven) {
    EXPECT_EQ(roundHalfEven(246.5), 246);
    EXPECT_EQ(roundHalfEven(247.5), 248);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(-3.5), -4);
    EXPECT_EQ(roundHalfEven(2.4999999), 2);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(0.5000001), 1);
    EXPECT_EQ(roundHalfEven(std::nan("")), 0);
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::infinity()), LLONG_MAX);
    EXPECT_EQ(roundHalfEven(-std::numeric_limits<double>::infinity()), LLONG_MIN);
    EXPECT_EQ(roundHalfEven(1e300), LLONG_MAX);
    EXPECT_EQ(roundHalfEven(-9223372036854775808.0), LLONG_MIN);

    EXPECT_EQ(roundToInt16HalfEven(2500.5), 2500);
    EXPECT_EQ(roundToInt16HalfEven(40000), 32767);
    EXPECT_EQ(roundToInt16HalfEven(-40000), -32768);
    EXPECT_EQ(roundToInt16HalfEven(32767.5), 32767);
    EXPECT_EQ(roundToInt16HalfEven(std::nan("")), 0);
}
