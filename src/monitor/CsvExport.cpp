#include "monitor/CsvExport.h"

#include "platform/SafeFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kvt::monitor {

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string isoLocalTime(double seconds) {
    const long long ms = std::llround(seconds * 1000.0);
    long long days = ms / 86'400'000;
    long long rest = ms % 86'400'000;
    if (rest < 0) {
        rest += 86'400'000;
        --days;
    }
    // Civil date from days since 1970-01-01.
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lld", year, month,
                  day, rest / 3'600'000, rest / 60'000 % 60, rest / 1000 % 60, rest % 1000);
    return buf;
}

std::string csvNumber(float v) {
    if (std::isnan(v))
        return {};
    if (v == 0.0F)
        return "0";
    char buf[32];
    // Shortest text that reads back as the same float: never the locale's comma.
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    if (ec != std::errc{})
        return {};
    return std::string(buf, end);
}

std::string trendCsv(const TrendHistory& history, double from, double to,
                     std::string_view (*unitName)(int)) {
    std::string out = "Time,Device,Address,Name,Flow,Set Point,Unit\r\n";
    for (std::size_t d = 0; d < history.deviceCount(); ++d) {
        const TrendDevice& who = history.deviceInfo(d);
        const std::string prefix =
            csvField(who.number) + ',' + csvField(who.address) + ',' + csvField(who.name) + ',';
        auto line = [&](double t, float flow, float setPoint, int unit) {
            if (t < from || t > to)
                return;
            out += isoLocalTime(t);
            out += ',';
            out += prefix;
            out += csvNumber(flow);
            out += ',';
            out += csvNumber(setPoint);
            out += ',';
            out += csvField(unitName(unit));
            out += "\r\n";
        };
        const auto& fine = history.fine(d);
        const double fineStart = fine.empty() ? INFINITY : fine.front().time;
        const auto& coarse = history.coarse(d);
        for (std::size_t i = 0; i < coarse.size() && coarse[i].lastTime < fineStart; ++i)
            line(coarse[i].lastTime, coarse[i].flowLast, coarse[i].setPoint, coarse[i].unit);
        for (std::size_t i = 0; i < fine.size(); ++i)
            line(fine[i].time, fine[i].flow, fine[i].setPoint, fine[i].unit);
    }
    return out;
}

std::string exportTrendCsv(const std::string& path, const TrendHistory& history, double from,
                           double to, std::string_view (*unitName)(int)) {
    return platform::replaceFile(path, trendCsv(history, from, to, unitName));
}

} // namespace kvt::monitor
