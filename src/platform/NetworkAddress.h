#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kvt::platform {

// A port mapped to a serial device server instead of a device path: "tcp://HOST:PORT" (raw byte
// stream) or "rfc2217://HOST:PORT" (Telnet with the COM-PORT-OPTION).
struct NetworkAddress {
    enum class Kind { Raw, Rfc2217 };
    Kind kind = Kind::Raw;
    std::string host; // without the brackets of an IPv6 literal
    std::uint16_t port = 0;
};

// True when the mapped text names a network server rather than a device path (it has a scheme).
bool looksLikeNetworkAddress(const std::string& text);

// The address, or nullopt with `error` saying what is wrong with the text.
std::optional<NetworkAddress> parseNetworkAddress(const std::string& text, std::string& error);

} // namespace kvt::platform
