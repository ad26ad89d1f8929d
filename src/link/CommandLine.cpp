#include "link/CommandLine.h"

namespace kvt::link {

std::string addressPrefix(bool rs232, std::string_view address) {
    if (rs232)
        return {};
    std::string prefix = "!";
    prefix += address;
    prefix += ',';
    return prefix;
}

std::string commandLine(bool rs232, std::string_view address, std::string_view body) {
    return addressPrefix(rs232, address) + std::string(body);
}

std::string replyText(bool rs232, std::string_view replyLine) {
    if (rs232)
        return std::string(replyLine);
    constexpr std::size_t headerLength = 4;
    if (replyLine.size() <= headerLength)
        return {};
    return std::string(replyLine.substr(headerLength));
}

bool matchesExact(std::string_view reply, std::string_view token) {
    return reply == token;
}

bool matchesLeading(std::string_view reply, std::string_view token) {
    return reply.substr(0, token.size()) == token && reply.size() >= token.size();
}

} // namespace kvt::link
