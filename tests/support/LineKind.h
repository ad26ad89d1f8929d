#pragma once

#include "sim/Bus.h"

#include <ostream>
#include <string>

namespace kvt::testing {

// The two ways a terminal talks to the device at 1A, with the prefix its lines carry.
struct LineKind {
    sim::LineMode line;
    std::string prefix;
    const char* name;
    bool rs232() const { return line == sim::LineMode::Rs232; }
};
inline const LineKind kRs232{sim::LineMode::Rs232, "", "RS232"};
inline const LineKind kRs485{sim::LineMode::Rs485, "!1A,", "RS485"};

inline void PrintTo(const LineKind& k, std::ostream* os) {
    *os << k.name;
}

} // namespace kvt::testing
