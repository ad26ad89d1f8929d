#include "monitor/SetPointEntry.h"

#include "link/NumberText.h"
#include "monitor/UnitTable.h"

#include <algorithm>

namespace kvt::monitor {

bool setPointCharacter(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}

std::string setPointText(const std::string& text) {
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out), setPointCharacter);
    return out;
}

std::optional<double> setPointToCommit(const std::string& text) {
    std::string kept = setPointText(text);
    if (std::none_of(kept.begin(), kept.end(), [](char c) { return c != '.'; }))
        return std::nullopt;
    double v = link::leadingNumber(kept);
    if (!link::storable(v))
        return std::nullopt;
    return v;
}

void moveSetPointSlider(ScrollControl& bar, int position, const UnitTable& units,
                        config::DeviceRecord& rec, config::DeviceStatus& status) {
    bar.value = std::clamp(position, bar.min, bar.max);
    rec.SetPoint = units.setPointFromPosition(rec, status, bar.value);
    status.SetPointPending = true;
}

bool commitTypedSetPoint(const std::string& text, ScrollControl& bar, const UnitTable& units,
                         config::DeviceRecord& rec, config::DeviceStatus& status) {
    auto value = setPointToCommit(text);
    if (!value)
        return false;
    status.SetPointPending = true;
    rec.SetPoint = *value;
    int position = units.positionFromSetPoint(rec, status, true);
    if (position != bar.value)
        moveSetPointSlider(bar, position, units, rec, status);
    return true;
}

} // namespace kvt::monitor
