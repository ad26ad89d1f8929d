#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kvt::link {

// Collects received chunks into reply lines. A line feed anywhere in a chunk completes the line,
// and whatever else the chunk holds joins that same line: the devices never send two lines in one
// burst, so bytes after the line feed are the tail of the same reply, not the start of the next.
class ReplyAssembler {
public:
    // A line that grows past this without a line feed is noise; it is cut so it cannot eat memory.
    static constexpr std::size_t kMaxPendingLine = 4096;

    // Runs one chunk through the assembly; returns the completed line, if the chunk held a line
    // feed.
    std::optional<std::string> feed(std::string_view chunk, bool rs232);

    bool lineComplete() const { return lineComplete_; }
    const std::string& pending() const { return pending_; }
    void clearPending() { pending_.clear(); }

private:
    std::string pending_;
    bool lineComplete_ = false;
};

} // namespace kvt::link
