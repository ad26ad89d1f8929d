#include "monitor/SetPointEntry.h"

#include "link/NumberText.h"

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

} // namespace kvt::monitor
