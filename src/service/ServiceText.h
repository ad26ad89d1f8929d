#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text and number rules shared by the service procedures.
namespace kvt::service {

// A control character (below 0x20, or 0x7F) in text that would become a command body: such text
// would split one typed command into several on the line.
bool hasControlCharacter(std::string_view text);

// The value with exactly `decimals` decimals, a half rounded away from zero on the value's shortest
// decimal form (0.0625 -> "0.063", 1/128 with 6 decimals -> "0.007813"); at least one integer
// digit,
// "." as separator, and zero never shows a minus sign. NaN and infinities give zero.
std::string formatHalfUp(double value, int decimals);

// The nearest 16-bit integer, a half away from zero; nullopt when the value is not a number or
// lies outside -32768..32767.
std::optional<std::int16_t> toInt16(double value);

// The text from the 1-based character `position` on; the empty text when the reply is shorter.
std::string charsFrom(std::string_view text, std::size_t position);

// Digits only, not empty, and within lo..hi: a value for a digit box or a scroll bar.
std::optional<int> digitsInRange(std::string_view text, int lo, int hi);

} // namespace kvt::service
