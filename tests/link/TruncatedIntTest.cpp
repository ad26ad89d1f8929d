#include "link/NumberText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <optional>

using kvt::link::truncatedInt;

TEST(TruncatedInt, RefusesWhatAnIntCannotHold) {
    const struct {
        double in;
        std::optional<int> out;
    } cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {2147483647.9, INT_MAX},
        {2147483648.0, std::nullopt},
        {-2147483648.9, INT_MIN},
        {-2147483649.0, std::nullopt},
        {1e10, std::nullopt},
        {NAN, std::nullopt},
        {-INFINITY, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(truncatedInt(c.in), c.out) << c.in;
    }
}
