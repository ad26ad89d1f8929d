#include "monitor/LineHistory.h"

#include <algorithm>

namespace kvt::monitor {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string unescape(std::string_view part) {
    std::string out;
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (part[i] == '%' && i + 2 < part.size() && hexValue(part[i + 1]) >= 0 &&
            hexValue(part[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(part[i + 1]) * 16 + hexValue(part[i + 2]));
            i += 2;
        } else {
            out += part[i];
        }
    }
    return out;
}

} // namespace

bool isControlCode(char32_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

void LineHistory::add(const std::string& line) {
    if (!line.empty() && (lines_.empty() || lines_.back() != line)) {
        lines_.push_back(line);
        while (lines_.size() > kMaxLines)
            lines_.pop_front();
    }
    pos_ = lines_.size();
    typed_.clear();
}

std::optional<std::string> LineHistory::up(const std::string& typed) {
    if (pos_ == 0)
        return std::nullopt;
    if (pos_ == lines_.size())
        typed_ = typed;
    return lines_[--pos_];
}

std::optional<std::string> LineHistory::down() {
    if (pos_ >= lines_.size())
        return std::nullopt;
    ++pos_;
    return pos_ == lines_.size() ? typed_ : lines_[pos_];
}

std::string LineHistory::encode() const {
    std::string out;
    for (const auto& line : lines_) {
        if (!out.empty())
            out += '|';
        for (char c : line) {
            if (c == '%')
                out += "%25";
            else if (c == '|')
                out += "%7C";
            else
                out += c;
        }
    }
    return out;
}

LineHistory LineHistory::decode(std::string_view value) {
    LineHistory h;
    std::size_t from = 0;
    while (from <= value.size()) {
        std::size_t bar = std::min(value.find('|', from), value.size());
        std::string line = unescape(value.substr(from, bar - from));
        const bool clean = std::none_of(line.begin(), line.end(), [](char c) {
            return isControlCode(static_cast<unsigned char>(c));
        });
        if (!line.empty() && clean)
            h.lines_.push_back(std::move(line));
        from = bar + 1;
    }
    while (h.lines_.size() > kMaxLines)
        h.lines_.pop_front();
    h.pos_ = h.lines_.size();
    return h;
}

} // namespace kvt::monitor
