#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace kvt::monitor {

// The lines sent from the terminal's line mode, oldest first, browsed with Up and Down like a
// shell's history: Down past the newest gives back the text that was being typed.
class LineHistory {
public:
    static constexpr std::size_t kMaxLines = 100;

    // The sent line becomes the newest; the oldest goes beyond kMaxLines. An empty line or a
    // repeat of the newest is not kept again. Browsing starts over.
    void add(const std::string& line);
    // The next older line, remembering `typed` when browsing begins; nullopt at the oldest.
    std::optional<std::string> up(const std::string& typed);
    // The next newer line, or the remembered typed text after the newest; nullopt when not
    // browsing.
    std::optional<std::string> down();

    const std::deque<std::string>& lines() const { return lines_; }

    // One preference value: the lines joined by '|', with '%' and '|' inside a line written as
    // "%25" and "%7C", so the value holds printable text only.
    std::string encode() const;
    // The history of a stored value. Parts that are empty or hold a control character (a
    // hand-edited file) are skipped; of more than kMaxLines the newest are kept.
    static LineHistory decode(std::string_view value);

private:
    std::deque<std::string> lines_;
    std::size_t pos_ = 0; // lines_.size(): not browsing
    std::string typed_;
};

// A character below space, DEL or a C1 control code: such a character would end or garble a
// command on the line.
bool isControlCode(char32_t c);

} // namespace kvt::monitor
