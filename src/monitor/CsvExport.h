#pragma once

#include "monitor/TrendHistory.h"

#include <string>
#include <string_view>

namespace kvt::monitor {

// A field as RFC 4180 writes it: quoted (inner quotes doubled) when it holds a comma, a quote,
// a carriage return or a line feed.
std::string csvField(std::string_view text);

// "2026-12-06T14:52:40.123" for localSeconds; milliseconds rounded, never 1000.
std::string isoLocalTime(double seconds);

// Shortest text of a kept value with "." as decimal point; "" for a gap.
std::string csvNumber(float v);

// The kept history between `from` and `to` (all of it: -inf..+inf) as CSV: one header line, then
// per device its readings in time order, lines ending CR LF. Seconds older than the last hour
// give one line each, with the last reading of that second. `unitName` names a unit index.
std::string trendCsv(const TrendHistory& history, double from, double to,
                     std::string_view (*unitName)(int));

// Writes the CSV crash-safely over `path`. "" on success, else the message for the operator
// ("Cannot write <path>: <reason>"); an existing file is then untouched.
std::string exportTrendCsv(const std::string& path, const TrendHistory& history, double from,
                           double to, std::string_view (*unitName)(int));

} // namespace kvt::monitor
