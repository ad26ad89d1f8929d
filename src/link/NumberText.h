#pragma once

#include <optional>
#include <string>
#include <string_view>

// Numbers as text on the line, in files and in the operator's boxes. Every function here ignores
// the host locale: the decimal separator is always ".".
namespace kvt::link {

// Shortest decimal form with at most 15 significant digits: 10000 -> "10000", 0.75 -> "0.75",
// 0.1 + 0.2 -> "0.3", -0.0 -> "0". Very large or very small magnitudes use an exponent ("1e+15").
// NaN and infinities give "0": a device must never be sent "inf".
std::string formatNumber(double v);

// Fixed pattern such as "####0.000": at least one integer digit and exactly the pattern's decimals,
// correctly rounded from the double; a result that is zero never carries a minus sign. The integer
// pattern "#####" rounds a half away from zero. Unknown patterns throw std::invalid_argument.
// NaN and infinities are formatted as 0.
std::string formatPattern(double v, std::string_view pattern);

// The value of the number at the start of `text`. Blanks, tabs and line feeds are skipped wherever
// they occur ("1 2.5" -> 12.5); then an optional sign, digits, one ".", and an optional exponent
// (E, e, D or d, optional sign, digits) are read up to the first other character. Text without a
// leading number gives 0. Overflow gives +-DBL_MAX, underflow 0; never throws.
double leadingNumber(std::string_view text);

// A number typed by the operator: every "," becomes "." and the leading number is taken.
double operatorNumber(std::string_view typed);

// The whole text, blanks around it ignored, is exactly one finite number ("." as separator, no
// blanks inside); nullopt otherwise.
std::optional<double> parseNumber(std::string_view text);

// Typed text (with "," read as ".") that is one number as a whole, for refusing a typed value
// that is not a number.
bool isNumber(std::string_view typed);

// The number's shortest text reads back as a number: what setup.dat and the devices can take.
// False for NaN, infinities and magnitudes whose 15-digit form rounds past the largest double.
bool storable(double v);

// Round to the nearest whole number, a half to the even neighbour. NaN gives 0; values beyond the
// target range are clamped to it.
long long roundHalfEven(double v);

// `v` cut toward zero to an int, as a cast does; nullopt where the cast would be undefined (NaN,
// infinities, beyond the range of int), so text such as "1e10" cannot reach one.
std::optional<int> truncatedInt(double v);
int roundToInt16HalfEven(double v);

} // namespace kvt::link
