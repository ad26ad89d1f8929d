// Number texts from the line, files and the operator: the two readers agree, every number written
// reads back, and every fixed pattern shows the value to its last decimal.
#include "FuzzInput.h"
#include "link/NumberText.h"

#include <cmath>
#include <string>

using kvt::fuzz::FuzzInput;
namespace nt = kvt::link;

namespace {

struct Pattern {
    const char* text;
    int decimals;
};
constexpr Pattern kPatterns[] = {
    {"####0.000", 3}, {"######0.0000", 4}, {"#####0.000", 3}, {"####0.000000", 6}, {"#0.000000", 6},
    {"###0.0", 1},    {"###0.00", 2},      {"#0.000", 3},     {"######0.00", 2},   {"#####", 0},
};

void checkWritten(double v) {
    const std::string shortest = nt::formatNumber(v);
    const auto back = nt::parseNumber(shortest);
    if (nt::storable(v)) {
        KVT_FUZZ_CHECK(back.has_value());
        // 15 significant digits: the value comes back to within that precision, and its text is
        // a fixed point.
        KVT_FUZZ_CHECK(std::fabs(*back - v) <= std::fabs(v) * 1e-14);
        KVT_FUZZ_CHECK(nt::formatNumber(*back) == shortest);
    } else if (!std::isfinite(v)) {
        KVT_FUZZ_CHECK(shortest == "0");
    }

    for (const Pattern& p : kPatterns) {
        const std::string s = nt::formatPattern(v, p.text);
        const auto point = s.find('.');
        if (p.decimals == 0) {
            KVT_FUZZ_CHECK(point == std::string::npos);
        } else {
            KVT_FUZZ_CHECK(point != std::string::npos && point >= 1);
            KVT_FUZZ_CHECK(s.size() - point - 1 == static_cast<std::size_t>(p.decimals));
        }
        KVT_FUZZ_CHECK(s.find_first_not_of("-0123456789.") == std::string::npos);
        const auto shown = nt::parseNumber(s);
        KVT_FUZZ_CHECK(shown.has_value());
        // No "-0.000": a result that shows as zero has no sign.
        KVT_FUZZ_CHECK(*shown != 0.0 || s.front() != '-');
        const double x = std::isfinite(v) ? v : 0.0;
        if (std::fabs(x) < 1e12) {
            // Within half a unit of the last decimal, give or take the double's own precision.
            const double half = 0.5 * std::pow(10.0, -p.decimals);
            KVT_FUZZ_CHECK(std::fabs(*shown - x) <= half * (1 + 1e-9) + std::fabs(x) * 1e-15);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    if (in.byte() & 1) {
        checkWritten(in.number());
        return 0;
    }
    const std::string text(in.rest());
    const double lead = nt::leadingNumber(text);
    KVT_FUZZ_CHECK(std::isfinite(lead));
    const double typed = nt::operatorNumber(text);
    KVT_FUZZ_CHECK(std::isfinite(typed));
    const auto whole = nt::parseNumber(text);
    if (whole) {
        KVT_FUZZ_CHECK(std::isfinite(*whole));
        // A text that is one number is also its own leading number. (A CR around the number is
        // trimmed by the one reader and ends the number for the other.)
        if (text.find('\r') == std::string::npos)
            KVT_FUZZ_CHECK(lead == *whole);
        KVT_FUZZ_CHECK(nt::isNumber(text));
    }
    const auto cut = nt::truncatedInt(lead);
    if (cut) {
        KVT_FUZZ_CHECK(std::fabs(lead - *cut) < 1.0);
    } else {
        KVT_FUZZ_CHECK(std::fabs(lead) >= 2147483647.0);
    }
    checkWritten(lead);
    return 0;
}
