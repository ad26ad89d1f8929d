#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text rules of the device side. Nothing here looks at the host locale: a device always writes
// and reads "." as the decimal separator, even when linked into a program that set a locale.
namespace kvt::sim::text {

std::string lower(std::string_view s);
std::string upper(std::string_view s);
// Without blanks and tabs at either end.
std::string trim(std::string_view s);
// Fields between separators; "a,,b," gives "a", "", "b", "".
std::vector<std::string> split(std::string_view s, char separator);

// The whole text (blanks around it allowed) is one finite decimal number with an optional sign.
std::optional<double> parseNumber(std::string_view s);
// The whole text (blanks around it allowed) is an optional sign and decimal digits.
std::optional<long long> parseInteger(std::string_view s);
// The number at the start of the text after blanks; 0 when there is none. Used for EEPROM cells,
// which may hold anything an operator wrote into them.
double leadingNumber(std::string_view s);

// Exactly `decimals` decimals; a value that rounds to zero carries no minus sign.
std::string fixed(double v, int decimals);
// Shortest text that reads back as the same double, never with an exponent.
std::string shortest(double v);

} // namespace kvt::sim::text
