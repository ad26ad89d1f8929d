#include "sim/Wire.h"

#include <algorithm>
#include <stdexcept>

namespace kvt::sim {

LinePacer::LinePacer(long baud, double latencySeconds)
    : charSeconds_(baud > 0 ? 10.0 / static_cast<double>(baud) : 0.0),
      latency_(std::max(0.0, latencySeconds)) {
    if (baud <= 0)
        throw std::invalid_argument("baud rate must be positive");
}

std::vector<double> LinePacer::arrive(std::size_t count, double readAt) {
    std::vector<double> times;
    times.reserve(count);
    // Bytes the terminal wrote in one go arrive back to back.
    double t = std::max(readAt, inFreeAt_);
    for (std::size_t i = 0; i < count; ++i) {
        t += charSeconds_;
        times.push_back(t);
    }
    if (count > 0)
        inFreeAt_ = t;
    return times;
}

void LinePacer::queue(const std::string& bytes, double commandArrived) {
    double t = std::max(commandArrived + latency_, outFreeAt_);
    for (char c : bytes) {
        t += charSeconds_;
        out_.emplace_back(t, c);
    }
    if (!bytes.empty())
        outFreeAt_ = t;
}

std::string LinePacer::takeDue(double now) {
    std::string due;
    while (!out_.empty() && out_.front().first <= now) {
        due += out_.front().second;
        out_.pop_front();
    }
    return due;
}

std::optional<double> LinePacer::nextDue() const {
    if (out_.empty())
        return std::nullopt;
    return out_.front().first;
}

Garbler::Garbler(double percent, std::uint64_t seed)
    : percent_(std::clamp(percent, 0.0, 100.0)), rng_(seed ^ 0x6A09E667F3BCC909ull) {}

std::string Garbler::apply(std::string framed) {
    if (percent_ <= 0.0 || framed.empty() || rng_.uniform() * 100.0 >= percent_)
        return framed;
    // Insert before the line end, so the reply still completes as one line.
    std::size_t end = framed.find('\r');
    if (end == std::string::npos)
        end = framed.size();
    int count = 1 + static_cast<int>(rng_.next() % 4);
    for (int i = 0; i < count; ++i) {
        char c;
        do {
            c = static_cast<char>(rng_.next() & 0xFF);
        } while (c == '\r' || c == '\n' || c == '>' || c == '!');
        std::size_t pos = static_cast<std::size_t>(rng_.next() % (end + 1));
        framed.insert(framed.begin() + static_cast<std::ptrdiff_t>(pos), c);
        ++end;
    }
    ++garbled_;
    return framed;
}

} // namespace kvt::sim
