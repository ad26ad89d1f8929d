#pragma once

#include "monitor/FrmTerminal.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kvt::service {

// Separators between "Check connection and try again!" and the reply in the failure message.
inline constexpr const char* kBracket = "[";
inline constexpr const char* kSpacedBracket = "   [";

// The exchange every service procedure uses, the way it reports a failed one, and the checks that
// come before the first send. One instance is shared by all service modules, so only one procedure
// runs at a time.
class ServiceLink {
public:
    explicit ServiceLink(monitor::FrmTerminal& terminal);

    monitor::FrmTerminal& terminal() { return t_; }

    // Checks before a procedure starts: another procedure is not running, the table holds a current
    // device and, on an RS-485 line, that device has an address. Refusals are explained.
    bool canStart();
    // Opens the port if it is closed; false (the operator has seen why) means stop.
    bool openPort();

    struct Options {
        bool showReply = false;    // the reply goes to the status panel
        bool waitReply = true;     // false: send and go on without the answer
        bool reportNoReply = true; // false: a time-out gives "" without "No connection!"
    };
    // Waits for the exchange in progress, sends `body` to the current device and returns the reply
    // text ("" = none). nullopt: the procedure must stop (port would not open, program closing).
    std::optional<std::string> exchange(std::string_view body, Options options);
    std::optional<std::string> exchange(std::string_view body) { return exchange(body, {}); }

    // headline CR "Check connection and try again!" separator reply "]".
    static std::string failureText(const std::string& headline, const std::string& separator,
                                   const std::string& reply);
    void failure(const std::string& headline, const std::string& separator,
                 const std::string& reply);
    // An information box titled "System Monitor".
    void inform(const std::string& text);
    // A Yes/No warning, No by default; true on Yes.
    bool confirm(const std::string& text);
    // Refuses typed text holding a control character; true when the text may be sent.
    bool acceptTyped(const std::string& text);

    // Waits `seconds` on the monotonic clock, or until `stop` holds. Costs no CPU: one timer wakes
    // the wait. False when the program is closing.
    bool pause(double seconds, const std::function<bool()>& stop = {});

    bool busy() const { return busy_; }

    // The counts of the current gas calibration table, kept for the whole run (span setting fills
    // them).
    std::array<std::int16_t, 10> gasTableCounts{};
    // Their flow fractions, top-down as the close-loop rows show them.
    std::array<double, 10> gasTableFractions{};

    // Running procedure: refuses a second one, and disables the main window's entries that could
    // start another exchange; restores them as they were when it ends.
    class Session {
    public:
        explicit Session(ServiceLink& link);
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

    private:
        ServiceLink& link_;
        std::map<std::string, bool> menus_;
        std::map<std::string, bool> toolbar_;
        bool fraCD_ = true;
        bool cboValveS_ = true;
    };

private:
    monitor::FrmTerminal& t_;
    bool busy_ = false;
};

// Texts of the refusals.
inline constexpr const char* kNoAddressText =
    "The current device has no valid RS-485 address. Set it in the device properties first.";
inline constexpr const char* kControlCharacterText =
    "The text holds a control character and was not sent. Type one command at a time.";
inline constexpr const char* kBusyText = "Another service procedure is running. Finish it first.";

} // namespace kvt::service
