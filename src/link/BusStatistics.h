#pragma once

#include "link/TransactionEngine.h"
#include "platform/Runtime.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::link {

// What one device address did on the line since the last reset.
struct BusRow {
    std::string address; // "" for the unaddressed (RS-232) line; "??" for lines naming nobody
    std::uint64_t exchanges = 0;
    std::uint64_t replies = 0;  // clean replies
    std::uint64_t timeouts = 0; // nothing came back in time
    std::uint64_t garbled = 0;  // wrong address, no line feed in time, or bytes no reply holds
    std::optional<double> lastAnswered; // clock's date and time of day as local seconds
};

// Latency of clean replies, command written to line feed, in seconds.
struct BusLatency {
    double median = 0.0;
    double p95 = 0.0;
    double max = 0.0;
    std::size_t count = 0; // replies the figures rest on (the last kWindow)
};

// Gathers per-address counts from the engine's observer calls. Costs O(1) per call and
// allocates only when an address is first seen.
class BusStatistics final : public LinkObserver {
public:
    static constexpr std::size_t kWindow = 1024; // latencies kept per address for the quantiles

    explicit BusStatistics(platform::Clock& clock) : clock_(clock) {}

    void commandWritten(std::uint64_t id, std::string_view address) override;
    void replyTaken(std::uint64_t id, std::string_view line) override;
    void lineDropped(std::uint64_t id, std::string_view line) override;
    void timedOut(std::uint64_t id, bool partial) override;

    // Rows in the order the addresses were first seen.
    std::vector<BusRow> rows() const;
    BusLatency latency(std::string_view address) const;
    void reset();
    // Bumped on every change, so a window redraws only when something happened.
    std::uint64_t revision() const { return revision_; }

private:
    struct Entry {
        BusRow row;
        std::array<double, kWindow> latencies{};
        std::size_t latencyCount = 0; // total ever pushed since reset
        double maxLatency = 0.0;
    };
    struct Pending {
        std::uint64_t id;
        std::size_t entry;
        double sentAt;
    };
    std::size_t entryFor(std::string_view address);
    // The send `id` is waiting for; sends before it were released without a word (port closed).
    std::optional<Pending> take(std::uint64_t id, bool remove);
    double now() const;

    platform::Clock& clock_;
    std::deque<Entry> entries_;
    std::deque<Pending> pending_;
    std::uint64_t revision_ = 0;
};

// Bytes that no reply holds: control characters and anything beyond 7-bit printable text.
bool garbledLine(std::string_view line);

} // namespace kvt::link
