#include "link/NumberText.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace kvt::link {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits kept for the conversion; more cannot change a double except through a tie, which the
// sticky digit below preserves.
constexpr std::size_t kMaxDigits = 780;
constexpr long long kExponentLimit = 1'000'000'000;

struct Scan {
    bool found = false; // at least one mantissa digit
    bool negative = false;
    std::string digits;     // significant digits, no leading zeros
    bool dropped = false;   // a non-zero digit beyond kMaxDigits was left out
    long long exponent = 0; // value = digits x 10^exponent
    std::size_t end = 0;    // index after the number
};

Scan scanNumber(std::string_view s, bool skipBlanks) {
    Scan r;
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto skip = [&](std::size_t& k) {
        if (skipBlanks) {
            while (k < n && isBlank(s[k])) {
                ++k;
            }
        }
    };
    skip(i);
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        r.negative = s[i] == '-';
        ++i;
        skip(i);
    }
    bool anyDigit = false;
    while (i < n && isDigit(s[i])) {
        anyDigit = true;
        if (!r.digits.empty() || s[i] != '0') {
            if (r.digits.size() < kMaxDigits) {
                r.digits.push_back(s[i]);
            } else {
                r.dropped = r.dropped || s[i] != '0';
                ++r.exponent;
            }
        }
        ++i;
        skip(i);
    }
    if (i < n && s[i] == '.') {
        ++i;
        skip(i);
        while (i < n && isDigit(s[i])) {
            anyDigit = true;
            if (r.digits.empty() && s[i] == '0') {
                --r.exponent;
            } else if (r.digits.size() < kMaxDigits) {
                r.digits.push_back(s[i]);
                --r.exponent;
            } else {
                r.dropped = r.dropped || s[i] != '0';
            }
            ++i;
            skip(i);
        }
    }
    if (!anyDigit) {
        return Scan{};
    }
    r.found = true;
    r.end = i;

    if (i < n && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        skip(j);
        bool expNegative = false;
        if (j < n && (s[j] == '+' || s[j] == '-')) {
            expNegative = s[j] == '-';
            ++j;
            skip(j);
        }
        long long e = 0;
        bool expDigit = false;
        while (j < n && isDigit(s[j])) {
            expDigit = true;
            if (e < kExponentLimit) {
                e = e * 10 + (s[j] - '0');
            }
            ++j;
            skip(j);
        }
        // "1e" or "1e+" has no exponent: the number ends before the letter.
        if (expDigit) {
            r.exponent += expNegative ? -e : e;
            r.end = j;
        }
    }
    if (r.dropped) {
        // Sticky digit: keeps a value just above a tie above it.
        r.digits.push_back('1');
        --r.exponent;
    }
    return r;
}

double valueOf(const Scan& r, bool* overflow = nullptr) {
    if (overflow != nullptr) {
        *overflow = false;
    }
    if (r.digits.empty()) {
        return r.negative ? -0.0 : 0.0;
    }
    const long long magnitude = r.exponent + static_cast<long long>(r.digits.size());
    const double big = r.negative ? -DBL_MAX : DBL_MAX;
    auto tooBig = [&] {
        if (overflow != nullptr) {
            *overflow = true;
        }
        return big;
    };
    if (magnitude > 400) {
        return tooBig();
    }
    if (magnitude < -400) {
        return 0.0;
    }
    std::string text = r.digits;
    text += 'e';
    text += std::to_string(r.exponent);
    double v = 0.0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        return magnitude > 0 ? tooBig() : 0.0;
    }
    if (res.ec != std::errc()) {
        return 0.0;
    }
    if (std::isinf(v)) {
        return tooBig();
    }
    return r.negative ? -v : v;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (isBlank(s.front()) || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string commasToPoints(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c == ',') {
            c = '.';
        }
    }
    return out;
}

// Drops the minus of a result that shows as zero ("-0.000").
void dropNegativeZero(std::string& s) {
    if (s.empty() || s.front() != '-') {
        return;
    }
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] != '0' && s[i] != '.') {
            return;
        }
    }
    s.erase(0, 1);
}

std::string fixed(double v, int decimals) {
    // 309 integer digits, the decimals, sign and point.
    std::array<char, 400> buf{};
    const auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
    std::string s(buf.data(), res.ptr);
    dropNegativeZero(s);
    return s;
}

} // namespace

std::string formatNumber(double v) {
    if (!std::isfinite(v)) {
        return "0";
    }
    std::array<char, 64> buf{};
    const auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, 15);
    std::string s(buf.data(), res.ptr);
    if (s == "-0") {
        s = "0";
    }
    return s;
}

std::string formatPattern(double v, std::string_view pattern) {
    struct Known {
        std::string_view pattern;
        int decimals;
    };
    static constexpr Known kKnown[] = {
        {"####0.000", 3},  {"######0.0000", 4}, {"#####0.000", 3}, {"####0.000000", 6},
        {"#0.000000", 6},  {"###0.0", 1},       {"###0.00", 2},    {"#0.000", 3},
        {"######0.00", 2}, {"#####", 0},
    };
    const Known* known = nullptr;
    for (const Known& k : kKnown) {
        if (k.pattern == pattern) {
            known = &k;
        }
    }
    if (known == nullptr) {
        throw std::invalid_argument("unknown number pattern: " + std::string(pattern));
    }
    if (!std::isfinite(v)) {
        v = 0.0;
    }
    if (known->decimals == 0) {
        return fixed(std::round(v), 0);
    }
    return fixed(v, known->decimals);
}

double leadingNumber(std::string_view text) {
    const Scan r = scanNumber(text, true);
    if (!r.found) {
        return 0.0;
    }
    return valueOf(r);
}

double operatorNumber(std::string_view typed) {
    return leadingNumber(commasToPoints(typed));
}

std::optional<double> parseNumber(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    const Scan r = scanNumber(t, false);
    if (!r.found || r.end != t.size()) {
        return std::nullopt;
    }
    bool overflow = false;
    const double v = valueOf(r, &overflow);
    if (overflow) {
        return std::nullopt;
    }
    return v;
}

bool isNumber(std::string_view typed) {
    return parseNumber(commasToPoints(typed)).has_value();
}

bool storable(double v) {
    return std::isfinite(v) && parseNumber(formatNumber(v)).has_value();
}

long long roundHalfEven(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    // 2^63 is exact as a double; anything at or beyond it does not fit.
    if (v >= 9223372036854775808.0) {
        return LLONG_MAX;
    }
    if (v < -9223372036854775808.0) {
        return LLONG_MIN;
    }
    double f = std::floor(v);
    const double d = v - f;
    if (d > 0.5 || (d == 0.5 && std::fmod(f, 2.0) != 0.0)) {
        f += 1.0;
    }
    return static_cast<long long>(f);
}

std::optional<int> truncatedInt(double v) {
    // Both bounds are exact doubles, and whatever lies strictly between them truncates into range.
    if (!(v > static_cast<double>(INT_MIN) - 1.0 && v < static_cast<double>(INT_MAX) + 1.0)) {
        return std::nullopt;
    }
    return static_cast<int>(v);
}

int roundToInt16HalfEven(double v) {
    const long long r = roundHalfEven(v);
    if (r > 32767) {
        return 32767;
    }
    if (r < -32768) {
        return -32768;
    }
    return static_cast<int>(r);
}

} // namespace kvt::link
