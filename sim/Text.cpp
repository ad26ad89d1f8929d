#include "sim/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace kvt::sim::text {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads [sign] digits [. digits] [e [sign] digits] from the start of s; returns the length used
// and whether there was at least one mantissa digit.
std::size_t numberPrefix(std::string_view s, bool& hasDigits) {
    std::size_t i = 0;
    hasDigits = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        hasDigits = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            hasDigits = true;
        }
    }
    if (hasDigits && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

std::optional<double> convert(std::string_view number) {
    bool negative = false;
    if (!number.empty() && (number[0] == '+' || number[0] == '-')) {
        negative = number[0] == '-';
        number.remove_prefix(1);
    }
    double v = 0.0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
    // Out of range either way is no value a device stores.
    if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
}

} // namespace

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

std::vector<std::string> split(std::string_view s, char separator) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = s.find(separator, start);
        if (pos == std::string_view::npos) {
            out.emplace_back(s.substr(start));
            return out;
        }
        out.emplace_back(s.substr(start, pos - start));
        start = pos + 1;
    }
}

std::optional<double> parseNumber(std::string_view s) {
    std::string t = trim(s);
    bool hasDigits = false;
    if (t.empty() || numberPrefix(t, hasDigits) != t.size() || !hasDigits)
        return std::nullopt;
    return convert(t);
}

std::optional<long long> parseInteger(std::string_view s) {
    std::string t = trim(s);
    std::string_view v = t;
    bool negative = false;
    if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
        negative = v[0] == '-';
        v.remove_prefix(1);
    }
    if (v.empty() || !std::all_of(v.begin(), v.end(), isDigit))
        return std::nullopt;
    long long n = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc() || end != v.data() + v.size())
        return std::nullopt;
    return negative ? -n : n;
}

double leadingNumber(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    bool hasDigits = false;
    std::size_t n = numberPrefix(s, hasDigits);
    if (!hasDigits)
        return 0.0;
    return convert(s.substr(0, n)).value_or(0.0);
}

std::string fixed(double v, int decimals) {
    if (!std::isfinite(v))
        v = 0.0;
    std::array<char, 400> buf{};
    auto [end, ec] =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return "0";
    std::string out(buf.data(), end);
    if (!out.empty() && out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos)
        out.erase(0, 1);
    return out;
}

std::string shortest(double v) {
    if (!std::isfinite(v))
        v = 0.0;
    if (v == 0.0)
        return "0";
    std::array<char, 400> buf{};
    auto [end, ec] =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed);
    if (ec != std::errc())
        return "0";
    return std::string(buf.data(), end);
}

} // namespace kvt::sim::text
