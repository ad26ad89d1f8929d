#include "service/ServiceText.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace kvt::service {

bool hasControlCharacter(std::string_view text) {
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

namespace {

// Adds one unit at the last digit of a digit string; returns true when it carried out of the front.
bool incrementDigits(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
            continue;
        }
        ++digits[i];
        return false;
    }
    digits.insert(digits.begin(), '1');
    return true;
}

} // namespace

std::string formatHalfUp(double value, int decimals) {
    if (!std::isfinite(value))
        value = 0.0;
    bool negative = std::signbit(value);
    double magnitude = std::fabs(value);
    // The shortest text that reads back as the same double: the value the operator would write.
    char buffer[400];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed);
    std::string text = ec == std::errc{} ? std::string(buffer, end) : std::string("0");
    std::size_t point = text.find('.');
    std::string whole = point == std::string::npos ? text : text.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string{} : text.substr(point + 1);
    if (static_cast<int>(fraction.size()) < decimals)
        fraction.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
    bool roundUp = static_cast<int>(fraction.size()) > decimals && fraction[decimals] >= '5';
    fraction.resize(static_cast<std::size_t>(decimals));
    if (roundUp) {
        std::string digits = whole + fraction;
        std::size_t before = digits.size();
        incrementDigits(digits);
        std::size_t wholeLength = whole.size() + (digits.size() - before);
        whole = digits.substr(0, wholeLength);
        fraction = digits.substr(wholeLength);
    }
    if (whole.empty())
        whole = "0";
    bool zero = whole.find_first_not_of('0') == std::string::npos &&
                fraction.find_first_not_of('0') == std::string::npos;
    std::string out = (negative && !zero) ? "-" : "";
    out += whole;
    if (decimals > 0)
        out += "." + fraction;
    return out;
}

std::optional<std::int16_t> toInt16(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    double r = std::round(value); // halves away from zero
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(r);
}

std::string charsFrom(std::string_view text, std::size_t position) {
    if (position == 0)
        position = 1;
    if (position > text.size())
        return {};
    return std::string(text.substr(position - 1));
}

std::optional<int> digitsInRange(std::string_view text, int lo, int hi) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi)
        return std::nullopt;
    return v;
}

} // namespace kvt::service
