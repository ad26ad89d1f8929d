#include "service/ServiceText.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kvt::service;

TEST(ServiceText, HalfAwayFromZeroOnTheDecimalValue) {
    // 0.0625 is exactly half in binary too: not to even. 1.0 / 128 is 0.0078125. -0.0004 rounds
    // to zero: no minus sign. 9.9995 carries into the integer part. 1.005 is 1.00499999... as a
    // double, 1.005 as typed.
    // clang-format off
    const std::tuple<double, int, const char*> rows[] = {
        {0.0625, 3, "0.063"}, {1.0 / 128, 6, "0.007813"}, {-0.0625, 3, "-0.063"},
        {0.0005, 3, "0.001"}, {-0.0004, 3, "0.000"}, {-0.0, 6, "0.000000"}, {9.9995, 3, "10.000"},
        {999.9999995, 6, "1000.000000"}, {0.0005, 6, "0.000500"}, {-0.5, 6, "-0.500000"},
        {1.005, 2, "1.01"}, {2.5, 0, "3"}, {std::numeric_limits<double>::quiet_NaN(), 3, "0.000"},
        {std::numeric_limits<double>::infinity(), 2, "0.00"}};
    // clang-format on
    for (const auto& [v, decimals, text] : rows)
        EXPECT_EQ(formatHalfUp(v, decimals), text) << v;
}

TEST(ServiceText, CheckedSixteenBitIntegers) {
    const std::pair<double, std::optional<int>> rows[] = {
        {32767.4, 32767}, {-32768.4, -32768},
        {2.5, 3},         {-2.5, -3},
        {32767.5, {}},    {-32768.5, {}},
        {1e300, {}},      {std::numeric_limits<double>::quiet_NaN(), {}}};
    for (const auto& [v, want] : rows)
        EXPECT_EQ(toInt16(v), want) << v;
}

TEST(ServiceText, PositionsDigitsAndControlCharacters) {
    EXPECT_EQ(charsFrom("ADCinp:1234", 8), "1234");
    EXPECT_EQ(charsFrom("ADCinp:", 8), "");
    EXPECT_EQ(charsFrom("short", 13), "");
    const std::pair<const char*, std::optional<int>> digits[] = {
        {"0", 0},    {"4095", 4095}, {"4096", {}},          {"", {}},
        {"12a", {}}, {"-1", {}},     {"99999999999999", {}}};
    for (const auto& [text, want] : digits)
        EXPECT_EQ(digitsInRange(text, 0, 4095), want) << text;
    for (const std::string& c :
         std::vector<std::string>{"5\rmw,1000,0", std::string("1\0", 2), "a\x7f", "1\t2"})
        EXPECT_TRUE(hasControlCharacter(c)) << c;
    // Latin-1 letters are printable.
    for (const char* ok : {"20, value with blanks ~", "\xe9t\xe9"})
        EXPECT_FALSE(hasControlCharacter(ok)) << ok;
}
