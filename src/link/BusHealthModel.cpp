#include "link/BusHealthModel.h"

#include <cmath>
#include <cstdio>

namespace kvt::link {

const std::array<const char*, BusHealthModel::kColumns>& BusHealthModel::headers() {
    static const std::array<const char*, kColumns> h = {"Address",   "Exchanges", "Replies",
                                                        "Time-outs", "Garbled",   "Median",
                                                        "95%",       "Maximum",   "Last answer"};
    return h;
}

std::string latencyText(double seconds, bool measured) {
    if (!measured)
        return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f ms", seconds * 1000.0);
    return buf;
}

std::string lastAnsweredText(const std::optional<double>& localSeconds) {
    if (!localSeconds)
        return "never";
    double day = std::fmod(*localSeconds, 86400.0);
    if (day < 0)
        day += 86400.0;
    const auto s = static_cast<long>(day);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

std::vector<std::array<std::string, BusHealthModel::kColumns>> BusHealthModel::table() const {
    std::vector<std::array<std::string, kColumns>> out;
    for (const auto& r : stats_.rows()) {
        const BusLatency l = stats_.latency(r.address);
        const bool measured = l.count > 0;
        std::string address = r.address.empty() ? "RS-232" : r.address;
        out.push_back({address, std::to_string(r.exchanges), std::to_string(r.replies),
                       std::to_string(r.timeouts), std::to_string(r.garbled),
                       latencyText(l.median, measured), latencyText(l.p95, measured),
                       latencyText(l.max, measured), lastAnsweredText(r.lastAnswered)});
    }
    return out;
}

} // namespace kvt::link
