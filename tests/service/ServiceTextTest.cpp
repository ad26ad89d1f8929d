#include "service/ServiceText.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kvt::service;

TEST(ServiceText, HalfAwayFromZeroOnTheDecimalValue) {
    struct Row {
        double v;
        int decimals;
        const char* text;
    };
    const Row rows[] = {
        {0.0625, 3, "0.063"},       // exactly half in binary too: not to even
        {1.0 / 128, 6, "0.007813"}, // 0.0078125
        {-0.0625, 3, "-0.063"},
        {0.0005, 3, "0.001"},
        {-0.0004, 3, "0.000"}, // rounds to zero: no minus sign
        {-0.0, 6, "0.000000"},
        {9.9995, 3, "10.000"}, // carry into the integer part
        {999.9999995, 6, "1000.000000"},
        {0.0005, 6, "0.000500"},
        {-0.5, 6, "-0.500000"},
        {1.005, 2, "1.01"}, // 1.00499999... as a double, 1.005 as typed
        {2.5, 0, "3"},
        {std::numeric_limits<double>::quiet_NaN(), 3, "0.000"},
        {std::numeric_limits<double>::infinity(), 2, "0.00"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(formatHalfUp(r.v, r.decimals), r.text) << r.v;
}

TEST(ServiceText, CheckedSixteenBitIntegers) {
    EXPECT_EQ(toInt16(32767.4), 32767);
    EXPECT_EQ(toInt16(-32768.4), -32768);
    EXPECT_EQ(toInt16(2.5), 3);
    EXPECT_EQ(toInt16(-2.5), -3);
    EXPECT_FALSE(toInt16(32767.5));
    EXPECT_FALSE(toInt16(-32768.5));
    EXPECT_FALSE(toInt16(1e300));
    EXPECT_FALSE(toInt16(std::numeric_limits<double>::quiet_NaN()));
}

TEST(ServiceText, PositionsDigitsAndControlCharacters) {
    EXPECT_EQ(charsFrom("ADCinp:1234", 8), "1234");
    EXPECT_EQ(charsFrom("ADCinp:", 8), "");
    EXPECT_EQ(charsFrom("short", 13), "");
    EXPECT_EQ(charsFrom("SensorAvg: 2900", 12), "2900");

    EXPECT_EQ(digitsInRange("0", 0, 4095), 0);
    EXPECT_EQ(digitsInRange("4095", 0, 4095), 4095);
    EXPECT_FALSE(digitsInRange("4096", 0, 4095));
    EXPECT_FALSE(digitsInRange("", 0, 4095));
    EXPECT_FALSE(digitsInRange("12a", 0, 4095));
    EXPECT_FALSE(digitsInRange("-1", 0, 4095));
    EXPECT_FALSE(digitsInRange("99999999999999", 0, 4095));

    EXPECT_TRUE(hasControlCharacter("5\rmw,1000,0"));
    EXPECT_TRUE(hasControlCharacter(std::string("1\0", 2)));
    EXPECT_TRUE(hasControlCharacter("a\x7f"));
    EXPECT_TRUE(hasControlCharacter("1\t2"));
    EXPECT_FALSE(hasControlCharacter("20, value with blanks ~"));
    EXPECT_FALSE(hasControlCharacter("\xe9t\xe9")); // Latin-1 letters are printable
}
