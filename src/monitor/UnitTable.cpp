#include "monitor/UnitTable.h"

#include "link/NumberText.h"

#include <cmath>

namespace kvt::monitor {

namespace {

struct Row {
    std::string_view name;
    std::string_view token;
    std::string_view suffix;
    double factor;
};

constexpr Row kRows[UnitTable::kUnitCount] = {
    {"%F.S.", "%", " %FS*sec.", 1.0},
    {"SLPM", "SLPM", "  L", 1.0},
    {"SLPH", "SLPH", "  L", 60.0},
    {"mLPM", "MLPM", "  mL", 1000.0},
    {"mLPH", "MLPH", "  mL", 60000.0},
    {"SCFH", "SCFH", "  CF", 2.1189},
    {"SCFM", "SCFM", "  CF", 0.035315},
    {"LBPH", "LBPH", "  LB", 0.13245},
    // Per minute is the per-hour factor / 60, as in every other pair: 0.13245 / 60. The often
    // quoted 0.022075 is ten times too large.
    {"LBPM", "LBPM", "  LB", 0.0022075},
    {"USER", "UD", " USER", 1.0},
};

bool inRange(int index) {
    return index >= 0 && index < UnitTable::kUnitCount;
}

} // namespace

std::string_view UnitTable::name(int index) {
    return inRange(index) ? kRows[index].name : "";
}
std::string_view UnitTable::token(int index) {
    return inRange(index) ? kRows[index].token : "";
}
std::string_view UnitTable::suffix(int index) {
    return inRange(index) ? kRows[index].suffix : "";
}

void UnitTable::build(double userEuFactorOfCurrentDevice) {
    for (int i = 0; i < kUnitCount; ++i) {
        factors_[i] = kRows[i].factor;
    }
    factors_[kUserUnit] = userEuFactorOfCurrentDevice;
}

double UnitTable::factor(int index) const {
    return inRange(index) ? factors_[index] : 1.0;
}

double UnitTable::currentFullScale(const config::DeviceRecord& rec,
                                   const config::DeviceStatus& status) const {
    if (rec.EngUnit == 0) {
        return 100.0;
    }
    // A unit outside the table, a full scale of 0 or below, or a USER factor that gives no
    // positive range would divide by zero or flip the scale: such a device scales on 100.
    if (!inRange(rec.EngUnit) || !(status.FullScale > 0.0)) {
        return 100.0;
    }
    const double fullScale = factor(rec.EngUnit) * status.FullScale;
    return fullScale > 0.0 && std::isfinite(fullScale) ? fullScale : 100.0;
}

int UnitTable::positionFromSetPoint(const config::DeviceRecord& rec,
                                    const config::DeviceStatus& status, bool cap) const {
    double raw = 0.0;
    if (rec.EngUnit == 0) {
        raw = rec.SetPoint * 10.0;
    } else {
        const double fullScale = currentFullScale(rec, status);
        if (fullScale == 0.0 || !std::isfinite(fullScale)) {
            return 0;
        }
        raw = rec.SetPoint / fullScale * 1000.0;
    }
    const long long position = link::roundHalfEven(raw);
    const int top = cap ? kCapPosition : kMaxPosition;
    if (position < 0) {
        return 0;
    }
    return position > top ? top : static_cast<int>(position);
}

double UnitTable::setPointFromPosition(const config::DeviceRecord& rec,
                                       const config::DeviceStatus& status, int position) const {
    if (rec.EngUnit == 0) {
        return position / 10.0;
    }
    return position / 1000.0 * currentFullScale(rec, status);
}

} // namespace kvt::monitor
