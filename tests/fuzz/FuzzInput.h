#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace kvt::fuzz {

// An invariant that does not hold is a finding: say which and stop, so the input is kept.
#define KVT_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Reads the fuzzer's bytes as a sequence of small decisions and pieces.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : data_(reinterpret_cast<const char*>(data), size) {}

    bool empty() const { return pos_ >= data_.size(); }
    std::string_view rest() const { return data_.substr(pos_); }

    std::uint8_t byte() { return empty() ? 0 : static_cast<std::uint8_t>(data_[pos_++]); }

    // A piece whose length comes from the next byte (0..`max`), cut at the end of the input.
    std::string_view piece(std::size_t max = 64) {
        const std::size_t want = max == 0 ? 0 : byte() % (max + 1);
        const std::size_t n = std::min(want, data_.size() - std::min(pos_, data_.size()));
        std::string_view out = data_.substr(std::min(pos_, data_.size()), n);
        pos_ += n;
        return out;
    }

    double number() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = bits << 8 | byte();
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

// A folder of our own for targets that go through real files: in memory where the host has it.
std::string scratchFolder();

} // namespace kvt::fuzz
