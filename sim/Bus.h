#pragma once

#include "sim/Device.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::sim {

// The line as a terminal sees it: one device (RS-232) or several addressed ones (RS-485).
//
// Lines end with CR; LF is ignored anywhere; a partial line waits for the next call.
// RS-232: the device answers bodies, and also "!" + its own address + "," + body (a terminal left
// in addressed mode still gets answers); other addresses are ignored. Reply framing: text, CR, LF,
// ">". RS-485: only "!" + address + "," + body is answered, by the device with that address (hex
// letters in either case); "00" and unknown addresses get nothing. Reply framing: address, ": ",
// text, CR, LF. An empty line gets nothing. A line longer than kMaxLineLength is dropped and
// answered "?" by the device it was addressed to, so the terminal learns of it at once rather than
// by time-out.
class Bus {
public:
    static constexpr std::size_t kMaxLineLength = 256;

    // RS-232 takes exactly one device (none given: one with default options); RS-485 any number
    // with distinct addresses. Bad options throw std::invalid_argument.
    Bus(LineMode mode, std::vector<DeviceOptions> devices);

    // Bytes the terminal wrote at time `now` (seconds). Returns the framed replies of every line
    // this call completed, in order.
    std::string receive(std::string_view bytes, double now);

    Device* device(std::string_view address); // nullptr if none
    Device& device(std::size_t index);        // throws std::out_of_range
    std::size_t deviceCount() const { return devices_.size(); }
    // Every complete line received, CR and LF stripped (dropped oversized lines are not listed).
    const std::vector<std::string>& commandLog() const { return commandLog_; }
    std::size_t droppedLines() const { return droppedLines_; }
    // Forgets the command logs of the bus and its devices, so a long run stays in bounded memory.
    void forgetHistory();
    LineMode mode() const { return mode_; }
    // How late the last reply is due (a device's scripted Late fault), in seconds.
    double replyDelay() const { return replyDelay_; }

private:
    std::string completeLine(const std::string& line, double now);
    std::string oversizedLine(const std::string& head, double now);
    std::string frame(const Device& device, const std::string& reply) const;

    LineMode mode_;
    std::vector<Device> devices_;
    std::vector<std::string> commandLog_;
    std::string pending_;
    bool overflow_ = false; // the line in progress grew too long; its start is kept in pending_
    std::size_t droppedLines_ = 0;
    double replyDelay_ = 0.0;
};

} // namespace kvt::sim
