#include "platform/NetworkAddress.h"

#include <cctype>

namespace kvt::platform {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool hostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

} // namespace

bool looksLikeNetworkAddress(const std::string& text) {
    const auto colon = text.find("://");
    if (colon == std::string::npos || colon == 0)
        return false;
    for (std::size_t i = 0; i < colon; ++i)
        if (!std::isalnum(static_cast<unsigned char>(text[i])) && text[i] != '+')
            return false;
    return true;
}

std::optional<NetworkAddress> parseNetworkAddress(const std::string& text, std::string& error) {
    const std::string bad = "Invalid server address " + text + ": ";
    if (!looksLikeNetworkAddress(text)) {
        error = bad + "expected tcp://HOST:PORT or rfc2217://HOST:PORT";
        return std::nullopt;
    }
    const auto schemeEnd = text.find("://");
    const std::string scheme = lower(text.substr(0, schemeEnd));
    NetworkAddress address;
    if (scheme == "tcp")
        address.kind = NetworkAddress::Kind::Raw;
    else if (scheme == "rfc2217")
        address.kind = NetworkAddress::Kind::Rfc2217;
    else {
        error = bad + "unknown scheme " + scheme + " (use tcp or rfc2217)";
        return std::nullopt;
    }

    std::string rest = text.substr(schemeEnd + 3);
    // A trailing slash is what people paste from browsers; anything more is not ours.
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    std::string portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            error = bad + "expected [ADDRESS]:PORT";
            return std::nullopt;
        }
        address.host = rest.substr(1, close - 1);
        portText = rest.substr(close + 2);
        for (char c : address.host)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') {
                error = bad + "not an IPv6 address";
                return std::nullopt;
            }
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string::npos) {
            error = bad + "the port number is missing";
            return std::nullopt;
        }
        address.host = rest.substr(0, colon);
        portText = rest.substr(colon + 1);
        for (char c : address.host)
            if (!hostCharacter(c)) {
                error = bad + "not a host name";
                return std::nullopt;
            }
    }
    if (address.host.empty()) {
        error = bad + "the host is missing";
        return std::nullopt;
    }
    if (portText.empty() || portText.size() > 5) {
        error = bad + "the port number must be 1 to 65535";
        return std::nullopt;
    }
    long port = 0;
    for (char c : portText) {
        if (c < '0' || c > '9') {
            error = bad + "the port number must be 1 to 65535";
            return std::nullopt;
        }
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) {
        error = bad + "the port number must be 1 to 65535";
        return std::nullopt;
    }
    address.port = static_cast<std::uint16_t>(port);
    return address;
}

} // namespace kvt::platform
