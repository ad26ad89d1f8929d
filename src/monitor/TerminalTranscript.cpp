#include "monitor/TerminalTranscript.h"

#include <cmath>
#include <cstdio>

namespace kvt::monitor {

namespace {

// An entry is closed by a line feed, or by a carriage return that no line feed follows.
bool continues(const TerminalTranscript::Entry& e, bool sent, char next) {
    if (e.sent != sent || e.bytes.empty())
        return false;
    const char last = e.bytes.back();
    return last != '\n' && !(last == '\r' && next != '\n');
}

constexpr std::size_t kHexWidth = TerminalTranscript::kBytesPerRow * 3 - 1;

} // namespace

std::string formatClockMs(double timeOfDay) {
    constexpr long long kDayMs = 86400000;
    long long ms = std::isfinite(timeOfDay) ? std::llround(timeOfDay * 1000.0) % kDayMs : 0;
    if (ms < 0)
        ms += kDayMs;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return buf;
}

void TerminalTranscript::record(bool sent, std::string_view bytes, double timeOfDay) {
    if (bytes.empty())
        return;
    for (char c : bytes) {
        if (entries_.empty() || !continues(entries_.back(), sent, c))
            entries_.push_back({timeOfDay, sent, {}});
        entries_.back().bytes += c;
    }
    bytes_ += bytes.size();
    // Whole entries go first; a single endless run (noise without line ends) loses its oldest
    // bytes instead.
    while (bytes_ > kMaxBytes && entries_.size() > 1) {
        bytes_ -= entries_.front().bytes.size();
        entries_.pop_front();
    }
    if (bytes_ > kMaxBytes) {
        entries_.front().bytes.erase(0, bytes_ - kMaxBytes);
        bytes_ = kMaxBytes;
    }
    ++serial_;
}

void TerminalTranscript::clear() {
    entries_.clear();
    bytes_ = 0;
    ++serial_;
}

std::string TerminalTranscript::hexText(bool timestamps) const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::string blankTime(timestamps ? 13 : 0, ' ');
    std::string out;
    out.reserve(bytes_ / kBytesPerRow * 90 + entries_.size() * 90);
    for (const auto& e : entries_) {
        for (std::size_t row = 0; row < e.bytes.size(); row += kBytesPerRow) {
            const std::string_view part = std::string_view(e.bytes).substr(row, kBytesPerRow);
            if (timestamps)
                out += row == 0 ? formatClockMs(e.timeOfDay) + ' ' : blankTime;
            out += e.sent ? "TX " : "RX ";
            const std::size_t hexStart = out.size();
            for (std::size_t i = 0; i < part.size(); ++i) {
                const auto u = static_cast<unsigned char>(part[i]);
                if (i > 0)
                    out += ' ';
                out += kDigits[u >> 4];
                out += kDigits[u & 15];
            }
            out.append(kHexWidth - (out.size() - hexStart), ' ');
            out += "  ";
            for (char c : part) {
                const auto u = static_cast<unsigned char>(c);
                out += u >= 0x20 && u < 0x7f ? c : '.';
            }
            out += "\r\n";
        }
    }
    return out;
}

} // namespace kvt::monitor
