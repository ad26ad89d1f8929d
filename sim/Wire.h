#pragma once

#include "sim/Rng.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kvt::sim {

// Wire time on a line that has none of its own (a pseudo-terminal): every character takes
// 10 bits / baud, inbound and outbound, and a reply starts only after the CR of its command has
// arrived plus the device's latency.
class LinePacer {
public:
    LinePacer(long baud, double latencySeconds);

    double charSeconds() const { return charSeconds_; }
    // `count` bytes were read at `readAt`; returns the time each of them has fully arrived.
    std::vector<double> arrive(std::size_t count, double readAt);
    // Queues reply bytes that may start once `commandArrived` + latency has passed.
    void queue(const std::string& bytes, double commandArrived);
    // Removes and returns the bytes whose last bit has left by `now`.
    std::string takeDue(double now);
    // When the next queued byte is due; nothing when the queue is empty.
    std::optional<double> nextDue() const;
    std::size_t queued() const { return out_.size(); }

private:
    double charSeconds_;
    double latency_;
    double inFreeAt_ = 0.0;
    double outFreeAt_ = 0.0;
    std::deque<std::pair<double, char>> out_;
};

// Mixes garbage bytes into a share of framed replies (for fault demonstrations). Garbage never
// contains CR, LF, ">" or "!", so line boundaries stay where they were.
class Garbler {
public:
    Garbler(double percent, std::uint64_t seed);
    std::string apply(std::string framed);
    std::size_t garbled() const { return garbled_; }

private:
    double percent_;
    Rng rng_;
    std::size_t garbled_ = 0;
};

} // namespace kvt::sim
