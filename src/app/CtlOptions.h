#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::app {

// Exit status of kvt-ctl.
namespace CtlExit {
inline constexpr int Ok = 0;
inline constexpr int NoReply = 1; // no reply, or a reply that refused or did not fit
inline constexpr int Usage = 2;
inline constexpr int Port = 3;
} // namespace CtlExit

// The command line of kvt-ctl:
//   kvt-ctl [--port N|PATH|URL] [--settings 9600,n,8,1] [--rs485 ADDR|--rs232] COMMAND ...
struct CtlOptions {
    bool help = false;
    bool version = false;

    // Unset: the terminal's own preferences.
    std::optional<int> portNumber;       // --port N
    std::optional<std::string> portPath; // --port PATH or URL
    std::optional<std::string> settings;
    std::optional<bool> rs232;
    std::string address; // --rs485 ADDR, upper case

    std::string command;                 // send, flow, setpoint, status, scan, watch
    std::string line;                    // send
    std::optional<std::string> setPoint; // setpoint VALUE, with "." as decimal separator
    int scanFrom = 0x01;
    int scanTo = 0xFF;
    int scanTimeoutMs = 200;
    int watchIntervalMs = 100;
    std::optional<long> watchCount;
    std::vector<std::string> watchAddresses;
};

struct CtlParse {
    std::optional<CtlOptions> options;
    std::string error; // why the command line was refused
};

CtlParse parseCtlArguments(const std::vector<std::string>& args);
std::string ctlUsage();

// True when the text holds a character below 0x20 or DEL: one command per invocation, and nothing
// that a device could take as the end of one.
bool hasControlCharacters(std::string_view text);

// "1a" -> "1A"; nullopt unless two hex digits other than the global address 00.
std::optional<std::string> deviceAddress(std::string_view text);

} // namespace kvt::app
