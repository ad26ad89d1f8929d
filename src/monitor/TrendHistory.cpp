#include "monitor/TrendHistory.h"

#include "link/NumberText.h"

#include <cmath>
#include <limits>

namespace kvt::monitor {

namespace {
constexpr float kGap = std::numeric_limits<float>::quiet_NaN();

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::optional<double> trendReading(std::string_view reply) {
    // The same blanks the number rule skips; then a digit must come, after a sign and a point.
    std::size_t i = 0;
    auto skip = [&] {
        while (i < reply.size() && (reply[i] == ' ' || reply[i] == '\t' || reply[i] == '\n'))
            ++i;
    };
    skip();
    if (i < reply.size() && (reply[i] == '+' || reply[i] == '-'))
        ++i;
    skip();
    if (i < reply.size() && reply[i] == '.')
        ++i;
    skip();
    if (i >= reply.size() || !isDigit(reply[i]))
        return std::nullopt;
    double v = link::leadingNumber(reply);
    if (!std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max())
        return std::nullopt;
    return v;
}

double localSeconds(int year, int month, int day, double timeOfDay) {
    // Days from the civil date (proleptic Gregorian).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
    return static_cast<double>(days) * 86400.0 + timeOfDay;
}

std::size_t TrendHistory::device(const TrendDevice& who) {
    for (std::size_t d = 0; d < devices_.size(); ++d) {
        auto& s = devices_[d];
        if (s.who.number == who.number && s.who.address == who.address) {
            if (s.who.name != who.name)
                s.who.name = who.name;
            return d;
        }
    }
    devices_.push_back(Series{who});
    return devices_.size() - 1;
}

void TrendHistory::fold(Series& s, const TrendSample& old) {
    const bool gap = std::isnan(old.flow);
    const double second = std::floor(old.time);
    if (!s.coarse.empty()) {
        TrendBucket& b = s.coarse.back();
        if (std::floor(b.lastTime) == second && b.unit == old.unit) {
            b.lastTime = old.time;
            b.setPoint = old.setPoint;
            b.flowLast = old.flow;
            if (gap) {
                b.gap = true;
            } else if (std::isnan(b.flowMin)) {
                b.flowMin = b.flowMax = old.flow;
            } else {
                b.flowMin = std::min(b.flowMin, old.flow);
                b.flowMax = std::max(b.flowMax, old.flow);
            }
            return;
        }
    }
    s.coarse.push({old.time, old.flow, old.flow, old.flow, old.setPoint, old.unit, gap});
}

void TrendHistory::append(std::size_t d, double time, std::optional<double> flow, double setPoint,
                          int unit) {
    Series& s = devices_[d];
    if (!s.fine.empty() && time < s.fine.back().time)
        time = s.fine.back().time;
    const TrendSample sample{time, flow ? static_cast<float>(*flow) : kGap,
                             static_cast<float>(setPoint), static_cast<std::int16_t>(unit)};
    if (auto old = s.fine.push(sample))
        fold(s, *old);
    // An hour back at most at full resolution, however slowly the device is read.
    while (s.fine.size() > 1 && s.fine.front().time < time - kFineSeconds) {
        fold(s, s.fine.front());
        s.fine.popFront();
    }
    while (!s.coarse.empty() && s.coarse.front().lastTime < time - kKeptSeconds)
        s.coarse.popFront();
}

std::optional<std::pair<double, double>> TrendHistory::span() const {
    std::optional<std::pair<double, double>> out;
    auto widen = [&out](double a, double b) {
        if (!out)
            out = {a, b};
        else
            out = {std::min(out->first, a), std::max(out->second, b)};
    };
    for (const auto& s : devices_) {
        if (!s.coarse.empty())
            widen(s.coarse.front().lastTime, s.coarse.back().lastTime);
        if (!s.fine.empty())
            widen(s.fine.front().time, s.fine.back().time);
    }
    return out;
}

namespace {
// Index of the first entry at or after `t` in a time-ordered ring.
template <typename T, typename F> std::size_t lowerBound(const Ring<T>& r, double t, F timeOf) {
    std::size_t lo = 0, hi = r.size();
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (timeOf(r[mid]) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}
} // namespace

std::vector<TrendRun> TrendHistory::plot(std::size_t d, double from, double to, int columns) const {
    std::vector<TrendRun> runs;
    if (d >= devices_.size() || columns <= 0 || !(to > from))
        return runs;
    const Series& s = devices_[d];
    const double width = (to - from) / columns;
    int column = -1;
    double columnStart = 0.0;
    double columnEnd = 0.0;
    bool columnGap = false;
    TrendPoint point;
    std::int16_t unit = 0;
    bool open = false; // the last run may take more points
    double lastReading = -INFINITY;

    auto flush = [&] {
        if (column < 0)
            return;
        if (std::isnan(point.low)) {
            open = false;
        } else {
            if (!open || runs.back().unit != unit)
                runs.push_back({unit, {}});
            runs.back().points.push_back(point);
            open = !columnGap;
        }
        column = -1;
    };
    auto take = [&](double t, float low, float high, float sp, std::int16_t u, bool gap) {
        if (t < from || t >= to)
            return;
        // Most readings fall into the column of the one before: no division for them.
        const int c = column >= 0 && t >= columnStart && t < columnEnd
                          ? column
                          : std::min(columns - 1, static_cast<int>((t - from) / width));
        // Readings sparser than the columns still join up; a long silence (monitoring stopped)
        // breaks the line, as a time-out does.
        const bool pause = t - lastReading > kJoinSeconds;
        lastReading = t;
        if (c != column || u != unit || pause) {
            flush();
            if (pause)
                open = false;
            column = c;
            columnStart = from + c * width;
            columnEnd = c == columns - 1 ? INFINITY : from + (c + 1) * width;
            unit = u;
            columnGap = false;
            point = {from + c * width, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::quiet_NaN(), sp};
        }
        if (gap)
            columnGap = true;
        if (!std::isnan(low)) {
            if (std::isnan(point.low)) {
                point.low = low;
                point.high = high;
            } else {
                point.low = std::min<double>(point.low, low);
                point.high = std::max<double>(point.high, high);
            }
            point.setPoint = sp;
        }
    };

    const double fineStart = s.fine.empty() ? to : s.fine.front().time;
    auto bucketTime = [](const TrendBucket& b) { return b.lastTime; };
    s.coarse.forEachFrom(lowerBound(s.coarse, from, bucketTime), [&](const TrendBucket& b) {
        if (b.lastTime >= fineStart || b.lastTime >= to)
            return false;
        take(b.lastTime, b.flowMin, b.flowMax, b.setPoint, b.unit, b.gap);
        return true;
    });
    auto sampleTime = [](const TrendSample& x) { return x.time; };
    s.fine.forEachFrom(lowerBound(s.fine, from, sampleTime), [&](const TrendSample& x) {
        if (x.time >= to)
            return false;
        take(x.time, x.flow, x.flow, x.setPoint, x.unit, std::isnan(x.flow));
        return true;
    });
    flush();
    return runs;
}

TrendPolylines trendPolylines(const std::vector<TrendRun>& runs, double xScale, double xOffset) {
    TrendPolylines out;
    std::size_t points = 0;
    for (const auto& run : runs)
        points += run.points.size();
    out.flow.reserve(2 * points + runs.size());
    out.setPoint.reserve(points + runs.size());
    const double breakY = std::numeric_limits<double>::quiet_NaN();
    for (const auto& run : runs) {
        if (!out.flow.empty()) {
            const double x = run.points.front().time * xScale + xOffset;
            out.flow.push_back({x, breakY});
            out.setPoint.push_back({x, breakY});
        }
        for (const auto& p : run.points) {
            const double x = p.time * xScale + xOffset;
            out.flow.push_back({x, p.low});
            if (p.high != p.low)
                out.flow.push_back({x, p.high});
            out.setPoint.push_back({x, p.setPoint});
            out.low = std::min({out.low, p.low, p.setPoint});
            out.high = std::max({out.high, p.high, p.setPoint});
        }
    }
    return out;
}

void TrendHistory::clear() {
    for (auto& s : devices_) {
        s.fine.clear();
        s.coarse.clear();
    }
}

std::size_t TrendHistory::bytes() const {
    std::size_t n = devices_.capacity() * sizeof(Series);
    for (const auto& s : devices_)
        n += s.fine.bytes() + s.coarse.bytes();
    return n;
}

} // namespace kvt::monitor
