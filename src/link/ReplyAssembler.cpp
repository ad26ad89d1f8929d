#include "link/ReplyAssembler.h"

namespace kvt::link {

std::optional<std::string> ReplyAssembler::feed(std::string_view chunk, bool rs232) {
    lineComplete_ = false;
    std::string kept;
    kept.reserve(chunk.size());
    for (char c : chunk) {
        if (c == '\n') {
            lineComplete_ = true;
            continue;
        }
        if (c == '\r' || (rs232 && c == '>'))
            continue;
        kept += c;
    }
    pending_ += kept;
    if (pending_.size() > kMaxPendingLine)
        pending_.erase(0, pending_.size() - kMaxPendingLine);
    if (!lineComplete_)
        return std::nullopt;
    std::string line = std::move(pending_);
    pending_.clear();
    return line;
}

} // namespace kvt::link
