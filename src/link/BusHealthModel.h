#pragma once

#include "link/BusStatistics.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kvt::link {

// The Bus Health window's table: one row of texts per address, in the columns below.
class BusHealthModel {
public:
    explicit BusHealthModel(BusStatistics& stats) : stats_(stats) {}

    static constexpr std::size_t kColumns = 9;
    static const std::array<const char*, kColumns>& headers();
    std::vector<std::array<std::string, kColumns>> table() const;
    void reset() { stats_.reset(); }
    std::uint64_t revision() const { return stats_.revision(); }

private:
    BusStatistics& stats_;
};

// "12.3 ms"; "-" when nothing was measured.
std::string latencyText(double seconds, bool measured);
// "14:52:40" of local seconds; "never" when the address has not answered.
std::string lastAnsweredText(const std::optional<double>& localSeconds);

} // namespace kvt::link
