#pragma once

#include <cmath>
#include <cstdint>

namespace kvt::sim {

// Small deterministic generator (splitmix64). The standard distributions differ between library
// versions; this one gives the same noise for the same seed everywhere.
class Rng {
public:
    explicit Rng(std::uint64_t seed = 1) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // In [lo, hi).
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Standard normal, by Box-Muller.
    double gaussian() {
        double u1 = 1.0 - uniform(); // (0, 1]: log stays finite
        double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    std::uint64_t state_;
};

} // namespace kvt::sim
