#include "link/BusStatistics.h"

#include <algorithm>
#include <cmath>

namespace kvt::link {

namespace {
double localSecondsOf(const platform::Date& d, double timeOfDay) {
    const int y = d.year - (d.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * ((d.month + 9) % 12) + 2) / 5 + d.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
    return static_cast<double>(days) * 86400.0 + timeOfDay;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
} // namespace

bool garbledLine(std::string_view line) {
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E)
            return true;
    }
    return false;
}

double BusStatistics::now() const {
    return clock_.monotonic();
}

std::size_t BusStatistics::entryFor(std::string_view address) {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].row.address == address)
            return i;
    entries_.emplace_back();
    entries_.back().row.address = std::string(address);
    return entries_.size() - 1;
}

std::optional<BusStatistics::Pending> BusStatistics::take(std::uint64_t id, bool remove) {
    while (!pending_.empty() && pending_.front().id < id)
        pending_.pop_front();
    if (pending_.empty() || pending_.front().id != id)
        return std::nullopt;
    Pending p = pending_.front();
    if (remove)
        pending_.pop_front();
    return p;
}

void BusStatistics::commandWritten(std::uint64_t id, std::string_view address) {
    const std::size_t e = entryFor(address);
    ++entries_[e].row.exchanges;
    pending_.push_back({id, e, now()});
    ++revision_;
}

void BusStatistics::replyTaken(std::uint64_t id, std::string_view line) {
    auto p = take(id, true);
    if (!p)
        return;
    Entry& e = entries_[p->entry];
    e.row.lastAnswered = localSecondsOf(clock_.date(), clock_.timeOfDay());
    ++revision_;
    if (garbledLine(line)) {
        ++e.row.garbled;
        return;
    }
    ++e.row.replies;
    const double latency = std::max(0.0, now() - p->sentAt);
    e.latencies[e.latencyCount % kWindow] = latency;
    ++e.latencyCount;
    e.maxLatency = std::max(e.maxLatency, latency);
}

void BusStatistics::lineDropped(std::uint64_t id, std::string_view line) {
    // An answer to another command than the one waiting: that exchange got an unexpected reply.
    if (auto p = id != 0 ? take(id, false) : std::nullopt) {
        ++entries_[p->entry].row.garbled;
    } else {
        // Nothing waited: blame the address the line names, if it names one.
        const bool named = line.size() >= 2 && isHex(line[0]) && isHex(line[1]);
        std::string address = "??";
        if (named) {
            address = std::string(line.substr(0, 2));
            for (char& c : address)
                if (c >= 'a' && c <= 'f')
                    c = static_cast<char>(c - 'a' + 'A');
        }
        ++entries_[entryFor(address)].row.garbled;
    }
    ++revision_;
}

void BusStatistics::timedOut(std::uint64_t id, bool partial) {
    auto p = take(id, true);
    if (!p)
        return;
    if (partial)
        ++entries_[p->entry].row.garbled;
    else
        ++entries_[p->entry].row.timeouts;
    ++revision_;
}

std::vector<BusRow> BusStatistics::rows() const {
    std::vector<BusRow> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_)
        out.push_back(e.row);
    return out;
}

BusLatency BusStatistics::latency(std::string_view address) const {
    for (const auto& e : entries_) {
        if (e.row.address != address)
            continue;
        BusLatency l;
        l.count = std::min(e.latencyCount, kWindow);
        if (l.count == 0)
            return l;
        std::vector<double> v(e.latencies.begin(),
                              e.latencies.begin() + static_cast<std::ptrdiff_t>(l.count));
        std::sort(v.begin(), v.end());
        // Nearest rank.
        auto rank = [&](double q) {
            auto r = static_cast<std::size_t>(std::ceil(q * static_cast<double>(l.count)));
            return v[std::clamp<std::size_t>(r, 1, l.count) - 1];
        };
        l.median = rank(0.5);
        l.p95 = rank(0.95);
        l.max = e.maxLatency;
        return l;
    }
    return {};
}

void BusStatistics::reset() {
    entries_.clear();
    pending_.clear();
    ++revision_;
}

} // namespace kvt::link
