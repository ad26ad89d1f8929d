#include "monitor/PortController.h"

#include "link/CommSettings.h"

#include <cmath>
#include <cstdio>

namespace kvt::monitor {

namespace {
constexpr const char* kProgramTitle = link::kApplication;
}

std::string formatElapsed(double seconds) {
    long long total = seconds > 0 ? static_cast<long long>(std::floor(seconds)) : 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
    return buf;
}

PortController::PortController(FrmTerminalModel& model, platform::SerialPort& port,
                               platform::Runtime& runtime, platform::Operator& op)
    : model_(model), port_(port), runtime_(runtime), operator_(op),
      engine_(std::make_unique<link::TransactionEngine>(port, runtime, op, *this)),
      timer1_(runtime.createTimer(1000)) {
    timer1_->setOnTick([this] { tickConnectTime(); });
}

PortController::~PortController() = default;

bool PortController::portToggle() {
    platform::PortError error = port_.setPortOpen(!port_.portOpen());
    if (!port_.portOpen())
        engine_->portClosed();
    if (!error.empty())
        operator_.message(
            {error, kProgramTitle, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
    applyPortState();
    return error.empty();
}

void PortController::applyPortState() {
    bool open = port_.portOpen();
    model_.menu("mnuOpen").checked = open;
    model_.toolbar["TransmitTextFile"].enabled = open;
    if (open) {
        model_.toolbar["DialPhoneNumber"].enabled = true;
        model_.toolbar["HangUpPhone"].enabled = true;
        model_.imgConnected.visible = true;
        model_.imgNotConnected.visible = false;
        model_.sbrStatus["Settings"].text =
            "Settings: " + port_.settings() +
            "       Handshaking: " + std::to_string(port_.handshaking());
        connectedSince_ = runtime_.clock().monotonic();
        timer1_->start();
        model_.changed();
    } else {
        showPortClosed();
    }
}

void PortController::showPortClosed() {
    model_.menu("mnuOpen").checked = false;
    model_.toolbar["TransmitTextFile"].enabled = false;
    model_.toolbar["DialPhoneNumber"].enabled = true;
    model_.toolbar["HangUpPhone"].enabled = false;
    model_.imgConnected.visible = false;
    model_.imgNotConnected.visible = true;
    model_.sbrStatus["Settings"].text = "Settings: ";
    timer1_->stop();
    model_.sbrStatus["ConnectTime"].text = "";
    model_.changed();
}

bool PortController::openIfClosed() {
    if (port_.portOpen())
        return true;
    return portToggle();
}

bool PortController::closeWithDrain() {
    if (!port_.portOpen())
        return true;
    auto& clock = runtime_.clock();
    auto drained = [this] { return !port_.portOpen() || port_.outBufferCount() == 0; };
    double deadline = std::round(clock.monotonic() + kDrainSeconds);
    while (!drained()) {
        if (!platform::waitUntilOrDeadline(runtime_, deadline, drained))
            break; // shutting down: close regardless
        if (drained())
            break;
        auto answer =
            operator_.message({"Data cannot be sent", kProgramTitle,
                               platform::Buttons::AbortRetryIgnore, platform::Icon::Question, 0});
        if (answer == platform::Answer::Abort)
            return false;
        if (answer == platform::Answer::Ignore)
            break;
        deadline = std::round(clock.monotonic() + kDrainSeconds);
    }
    (void)port_.setPortOpen(false);
    engine_->portClosed();
    return true;
}

void PortController::tickConnectTime() {
    model_.sbrStatus["ConnectTime"].text =
        formatElapsed(runtime_.clock().monotonic() - connectedSince_) + " ";
    model_.changed();
}

void PortController::showTransmitted(const std::string& line) {
    // Called after the send; a closed port wrote nothing.
    if (onTerminalSent && port_.portOpen() && !engine_->autoSingleMonitoring &&
        !engine_->autoMultiMonitoring)
        onTerminalSent(line + "\r");
    model_.lblTr.caption = line;
    model_.changed();
}

void PortController::showReceived(const std::string& line) {
    model_.lblRs.caption = line;
    model_.changed();
}

void PortController::setStatusPanel(const std::string& text) {
    model_.sbrStatus["Status"].text = text;
    model_.changed();
}

void PortController::terminalReceived(const std::string& text) {
    if (onTerminalText)
        onTerminalText(text);
}

void PortController::portClosedUnexpectedly() {
    showPortClosed();
}

} // namespace kvt::monitor
