#include "app/CtlCommands.h"

#include "link/CommandLine.h"
#include "link/NumberText.h"
#include "link/TransactionEngine.h"
#include "link/Vocabulary.h"
#include "platform/Operator.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace kvt::app {

namespace {

constexpr const char* kNoConnection = "No connection!";
constexpr int kDrainLimitSeconds = 2;

// Boxes become lines on standard error; nobody is there to answer them.
class StderrOperator final : public platform::Operator {
public:
    explicit StderrOperator(std::ostream& err) : err_(err) {}
    platform::Answer message(const platform::Message& m) override {
        // The command reports a missing reply itself, naming the line.
        if (m.text != kNoConnection)
            err_ << "kvt-ctl: " << m.text << "\n";
        switch (m.buttons) {
        case platform::Buttons::AbortRetryIgnore:
            return platform::Answer::Ignore;
        case platform::Buttons::YesNo:
        case platform::Buttons::YesNoCancel:
            return platform::Answer::No;
        default:
            return platform::Answer::Ok;
        }
    }
    std::string input(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::optional<std::string> chooseFile(const platform::FileRequest&) override {
        return std::nullopt;
    }
    void beep() override {}

private:
    std::ostream& err_;
};

class QuietView final : public link::LinkView {
public:
    void showTransmitted(const std::string&) override {}
    void showReceived(const std::string&) override {}
    void setStatusPanel(const std::string&) override {}
    void terminalReceived(const std::string&) override {}
    void portClosedUnexpectedly() override { portLost = true; }
    bool portLost = false;
};

bool numeric(const std::string& reply) {
    for (char c : reply) {
        if (c == ' ' || c == '\t')
            continue;
        return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
    }
    return false;
}

struct Field {
    const char* key;
    std::string body;
    // The value to print for a reply, or nullopt when the reply does not fit.
    std::function<std::optional<std::string>(const std::string&)> read;
};

std::optional<std::string> number(const std::string& reply) {
    if (!numeric(reply))
        return std::nullopt;
    return link::formatNumber(link::leadingNumber(reply));
}

std::function<std::optional<std::string>(const std::string&)>
tokens(std::vector<std::pair<std::string, std::string>> table, bool otherwise = false,
       std::string otherText = {}) {
    return [table = std::move(table), otherwise, otherText = std::move(otherText)](
               const std::string& reply) -> std::optional<std::string> {
        for (const auto& [token, text] : table)
            if (link::matchesExact(reply, token))
                return text;
        if (otherwise)
            return otherText;
        return std::nullopt;
    };
}

class Session {
public:
    Session(const CtlOptions& o, bool rs232, const std::string& address, CtlHost& host)
        : o_(o), rs232_(rs232), address_(address), host_(host), op_(host.err),
          engine_(host.port, host.runtime, op_, view_) {
        engine_.interfaceRs232 = rs232;
        host.port.setEventHandler([this](int event) { engine_.onPortEvent(event); });
    }
    ~Session() { host_.port.setEventHandler(nullptr); }

    int run() {
        if (const platform::PortError error = host_.port.setPortOpen(true); !error.empty()) {
            host_.err << "kvt-ctl: " << error << "\n";
            return CtlExit::Port;
        }
        int status = command();
        close();
        if (view_.portLost)
            return CtlExit::Port;
        return status;
    }

private:
    int command() {
        if (o_.command == "send")
            return send();
        if (o_.command == "flow")
            return flow();
        if (o_.command == "setpoint")
            return setPoint();
        if (o_.command == "status")
            return status();
        if (o_.command == "scan")
            return scan();
        if (o_.command == "watch")
            return watch();
        host_.err << "kvt-ctl: unknown command " << o_.command << "\n";
        return CtlExit::Usage;
    }

    // The reply text, or nullopt (with the reason on standard error) when none came.
    std::optional<std::string> ask(const std::string& body, const std::string& address,
                                   bool rs232) {
        engine_.interfaceRs232 = rs232;
        const std::string line = link::commandLine(rs232, address, body);
        const auto reply = engine_.exchange(line);
        if (view_.portLost)
            return std::nullopt;
        if (!reply || reply->empty()) {
            host_.err << "kvt-ctl: no reply to " << line << "\n";
            return std::nullopt;
        }
        return reply;
    }
    std::optional<std::string> ask(const std::string& body) { return ask(body, address_, rs232_); }

    int refused(const std::string& body, const std::string& reply) {
        host_.err << "kvt-ctl: " << body << " was answered " << reply << "\n";
        return CtlExit::NoReply;
    }

    int send() {
        const auto reply = ask(o_.line);
        if (!reply)
            return CtlExit::NoReply;
        host_.out << *reply << "\n";
        return CtlExit::Ok;
    }

    int flow() {
        const std::string body(link::cmd::ReadFlow);
        const auto reply = ask(body);
        if (!reply)
            return CtlExit::NoReply;
        const auto value = number(*reply);
        if (!value)
            return refused(body, *reply);
        host_.out << *value << "\n";
        return CtlExit::Ok;
    }

    int setPoint() {
        if (!o_.setPoint) {
            const auto it = host_.setPoints.find(address_);
            if (it == host_.setPoints.end()) {
                host_.err << "kvt-ctl: setup.dat holds no set point for device " << address_
                          << " (the device has no command that reads it back)\n";
                return CtlExit::NoReply;
            }
            host_.out << link::formatPattern(it->second, "####0.000") << "\n";
            return CtlExit::Ok;
        }
        const std::string body = link::cmd::setPoint(
            link::formatPattern(link::leadingNumber(*o_.setPoint), "####0.000"));
        const auto reply = ask(body);
        if (!reply)
            return CtlExit::NoReply;
        if (!link::matchesLeading(*reply, "S"))
            return refused(body, *reply);
        host_.out << *reply << "\n";
        return CtlExit::Ok;
    }

    int status() {
        // The readout's order; flow is asked twice before the device counts as absent.
        const std::vector<Field> fields = {
            {"flow", std::string(link::cmd::ReadFlow), number},
            {"full_scale", std::string(link::cmd::ReadFullScale), number},
            {"input_mode", std::string(link::cmd::InputModeStatus),
             tokens({{"MA", "Analog"}, {"MD", "Digital"}})},
            {"valve_mode", std::string(link::cmd::ValveModeStatus),
             tokens({{"VA", "Auto"}, {"VO", "Open (Purge)"}}, true, "Close")},
            {"relay1", link::cmd::relayStatus(1), relayTokens()},
            {"relay2", link::cmd::relayStatus(2), relayTokens()},
            {"auto_zero", std::string(link::cmd::AutoZeroStatus),
             tokens({{"ZD", "Disabled"}, {"ZE", "Enabled"}, {"ZNI", "Zero In Progress"}})},
            {"alarm", std::string(link::cmd::AlarmStatus),
             tokens({{"N", "None"}, {"H", "High"}, {"L", "Low"}})},
            {"total", std::string(link::cmd::ReadTotalizer), number},
        };
        int result = CtlExit::Ok;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const Field& f = fields[i];
            auto reply = ask(f.body);
            if (!reply && i == 0 && !view_.portLost)
                reply = ask(f.body);
            if (view_.portLost)
                return CtlExit::Port;
            if (!reply) {
                if (i == 0) {
                    host_.err << "kvt-ctl: the device does not answer\n";
                    return CtlExit::NoReply;
                }
                result = CtlExit::NoReply;
                continue;
            }
            const auto value = f.read(*reply);
            if (!value) {
                refused(f.body, *reply);
                result = CtlExit::NoReply;
                continue;
            }
            host_.out << f.key << "=" << *value << "\n";
        }
        return result;
    }

    static std::function<std::optional<std::string>(const std::string&)> relayTokens() {
        return tokens({{"RN", "No Action"},
                       {"RT", "Totalizer > limit"},
                       {"RH", "High Flow Alarm"},
                       {"RL", "Low Flow Alarm"},
                       {"RR", "Range between H & L"}});
    }

    int scan() {
        auto& timer = engine_.Timer3();
        const int usual = timer.interval();
        timer.setInterval(o_.scanTimeoutMs);
        int found = 0;
        for (int a = o_.scanFrom; a <= o_.scanTo && !view_.portLost; ++a) {
            char address[3];
            std::snprintf(address, sizeof address, "%02X", a);
            engine_.interfaceRs232 = false;
            const auto reply =
                engine_.exchange(link::commandLine(false, address, link::cmd::ReadFlow));
            if (reply && !reply->empty()) {
                host_.out << address << "\n";
                host_.out.flush();
                ++found;
            }
        }
        timer.setInterval(usual);
        if (view_.portLost)
            return CtlExit::Port;
        if (found == 0) {
            host_.err << "kvt-ctl: no device answered\n";
            return CtlExit::NoReply;
        }
        return CtlExit::Ok;
    }

    int watch() {
        std::vector<std::string> addresses = o_.watchAddresses;
        const bool rs232 = addresses.empty() ? rs232_ : false;
        if (addresses.empty())
            addresses.push_back(address_);
        int result = CtlExit::Ok;
        auto& clock = host_.runtime.clock();
        for (long round = 0; !o_.watchCount || round < *o_.watchCount; ++round) {
            if (round > 0) {
                const double due = clock.monotonic() + o_.watchIntervalMs / 1000.0;
                if (!platform::waitUntilOrDeadline(host_.runtime, due, host_.stopRequested))
                    break;
            }
            if (host_.stopRequested())
                break;
            for (const auto& address : addresses) {
                const auto reply = ask(std::string(link::cmd::ReadFlow), address, rs232);
                if (view_.portLost)
                    return CtlExit::Port;
                std::string flow;
                if (reply && numeric(*reply))
                    flow = link::formatNumber(link::leadingNumber(*reply));
                else
                    result = CtlExit::NoReply;
                std::string setPoint;
                if (auto it = host_.setPoints.find(address); it != host_.setPoints.end())
                    setPoint = link::formatPattern(it->second, "####0.000");
                host_.out << host_.timestamp() << "," << address << "," << flow << "," << setPoint
                          << "\n";
                host_.out.flush();
            }
        }
        return result;
    }

    void close() {
        auto& port = host_.port;
        if (!port.portOpen())
            return;
        const double deadline = host_.runtime.clock().monotonic() + kDrainLimitSeconds;
        platform::waitUntilOrDeadline(host_.runtime, deadline,
                                      [&] { return port.outBufferCount() == 0; });
        (void)port.setPortOpen(false);
    }

    const CtlOptions& o_;
    bool rs232_;
    std::string address_;
    CtlHost& host_;
    StderrOperator op_;
    QuietView view_;
    link::TransactionEngine engine_;
};

} // namespace

int runCtlCommand(const CtlOptions& options, bool rs232, const std::string& address,
                  CtlHost& host) {
    Session session(options, rs232, address, host);
    return session.run();
}

} // namespace kvt::app
