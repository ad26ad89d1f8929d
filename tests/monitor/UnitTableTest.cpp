#include "monitor/UnitTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using kvt::config::DeviceRecord;
using kvt::config::DeviceStatus;
using kvt::monitor::UnitTable;

namespace {

DeviceRecord inUnit(int unit, double setPoint) {
    DeviceRecord r;
    r.EngUnit = static_cast<std::int16_t>(unit);
    r.SetPoint = setPoint;
    return r;
}

DeviceStatus withFullScale(double fullScale) {
    return {.FullScale = fullScale};
}

} // namespace

TEST(UnitTable, FactorsFullScaleAndSetPointScale) {
    UnitTable units;
    units.build(3.5);
    // Outside the table a unit counts as SLPM, and has no texts.
    EXPECT_EQ((std::vector{units.factor(1), units.factor(2), units.factor(4), units.factor(9),
                           units.factor(10), units.factor(-1)}),
              (std::vector{1.0, 60.0, 60000.0, 3.5, 1.0, 1.0}));
    for (int i : {-1, UnitTable::kUnitCount, 32767})
        EXPECT_TRUE(UnitTable::name(i).empty() && UnitTable::token(i).empty() &&
                    UnitTable::suffix(i).empty())
            << i;
    // Every per-hour unit is 60 times its per-minute unit.
    EXPECT_DOUBLE_EQ(units.factor(7) / units.factor(8), 60.0);
    EXPECT_DOUBLE_EQ(units.factor(5) / units.factor(6), 60.0);

    EXPECT_EQ(units.currentFullScale(inUnit(0, 0), withFullScale(20)), 100.0);
    EXPECT_EQ(units.currentFullScale(inUnit(3, 0), withFullScale(20)), 20000.0);

    // The USER factor is the one taken at build time, not the record's own.
    DeviceRecord user = inUnit(9, 0);
    user.UserEuFactor = 100;
    EXPECT_EQ(units.currentFullScale(user, withFullScale(10)), 35.0);

    const DeviceStatus fs50 = withFullScale(50);

    EXPECT_EQ(units.positionFromSetPoint(inUnit(0, 25), fs50, true), 250);
    EXPECT_EQ(units.setPointFromPosition(inUnit(0, 0), fs50, 250), 25.0);

    EXPECT_EQ(units.positionFromSetPoint(inUnit(1, -3), fs50, false), 0);

    // Halves go to the even neighbour.
    EXPECT_EQ(units.positionFromSetPoint(inUnit(0, 24.65), fs50, true), 246);
    EXPECT_EQ(units.positionFromSetPoint(inUnit(0, 24.75), fs50, true), 248);

    // Unit conversion: 60 SLPH of a 50 SLPM device is 2 %.
    EXPECT_EQ(units.positionFromSetPoint(inUnit(2, 60), fs50, true), 20);
}

TEST(UnitTable, RangesThatCannotScaleFallBackToOneHundred) {
    // Each would divide by zero, index outside the table or flip the scale.
    struct Case {
        const char* what;
        double userFactor;
        int engUnit;
        double fullScale;
    };
    const Case cases[] = {
        {"USER factor 0", 0.0, 9, 50.0},         {"negative USER factor", -2.0, 9, 50.0},
        {"full scale 0", 1.0, 1, 0.0},           {"full scale not a number", 1.0, 2, std::nan("")},
        {"unit above the table", 1.0, 10, 50.0}, {"negative unit", 1.0, -1, 50.0},
    };
    for (const auto& c : cases) {
        UnitTable units;
        units.build(c.userFactor);
        const auto status = withFullScale(c.fullScale);
        EXPECT_EQ(units.currentFullScale(inUnit(c.engUnit, 0), status), 100.0) << c.what;
        EXPECT_EQ(units.positionFromSetPoint(inUnit(c.engUnit, 10), status, true), 100) << c.what;
        EXPECT_EQ(units.setPointFromPosition(inUnit(c.engUnit, 0), status, 500), 50.0) << c.what;
    }
}
