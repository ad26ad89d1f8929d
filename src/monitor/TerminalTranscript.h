#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace kvt::monitor {

// The bytes that went over the line while the terminal listened, sent and received apart. A run
// of one direction is one entry up to its line end, stamped with the time of day of its first
// byte, so a command and its reply read as two rows. Bounded like the teletype text.
class TerminalTranscript {
public:
    struct Entry {
        double timeOfDay = 0; // seconds since midnight
        bool sent = false;
        std::string bytes;
    };

    void record(bool sent, std::string_view bytes, double timeOfDay);
    void clear();

    const std::deque<Entry>& entries() const { return entries_; }
    std::size_t byteCount() const { return bytes_; }
    // Moves on every change, so a view can tell when to render again.
    unsigned serial() const { return serial_; }

    // One row per 16 bytes of an entry:
    //   [hh:mm:ss.mmm ]TX|RX <hex bytes, padded>  <printable characters, others as '.'>
    // each row ended by CR LF; continuation rows leave the time column blank.
    std::string hexText(bool timestamps) const;

    static constexpr std::size_t kMaxBytes = 16000;
    static constexpr std::size_t kBytesPerRow = 16;

private:
    std::deque<Entry> entries_;
    std::size_t bytes_ = 0;
    unsigned serial_ = 0;
};

// "hh:mm:ss.mmm" of seconds since midnight (rounded to the millisecond, wrapping at midnight).
std::string formatClockMs(double timeOfDay);

} // namespace kvt::monitor
