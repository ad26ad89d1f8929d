#pragma once

#include "config/DeviceRecord.h"

#include <array>
#include <string_view>

namespace kvt::monitor {

// The ten engineering units (index = DeviceRecord::EngUnit) and the set-point scale: slider
// positions 0..1100, one position being 0.1 % of full scale.
class UnitTable {
public:
    static constexpr int kUnitCount = 10;
    static constexpr int kUserUnit = 9;
    static constexpr int kCapPosition = 1000;
    static constexpr int kMaxPosition = 1100;

    // Texts of a row; an index outside 0..9 gives "".
    static std::string_view name(int index);
    static std::string_view token(int index);
    static std::string_view suffix(int index);

    UnitTable() { build(1.0); }

    // Fills the factor column once at start-up; the USER row takes the factor of the device that
    // is current then, and keeps it for every USER device for the rest of the run.
    void build(double userEuFactorOfCurrentDevice);

    // Factor from SLPM. Row 0 (percent) has no factor and gives 1, as does an index outside 0..9,
    // so that such a device is scaled like SLPM instead of dividing by zero.
    double factor(int index) const;

    // Full scale in the device's unit: factor x FullScale; 100 for the percent unit, and 100
    // wherever that product is no positive finite range (FullScale 0 or below, USER factor 0,
    // a unit outside the table).
    double currentFullScale(const config::DeviceRecord& rec,
                            const config::DeviceStatus& status) const;

    // Slider position of the record's SetPoint, a half going to the even neighbour. The result is
    // kept within the slider, 0..1100, or 0..1000 when `cap` is set.
    int positionFromSetPoint(const config::DeviceRecord& rec, const config::DeviceStatus& status,
                             bool cap) const;

    double setPointFromPosition(const config::DeviceRecord& rec, const config::DeviceStatus& status,
                                int position) const;

private:
    std::array<double, kUnitCount> factors_{};
};

} // namespace kvt::monitor
