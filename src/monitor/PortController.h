#pragma once

#include "link/TransactionEngine.h"
#include "monitor/FrmTerminalModel.h"
#include "platform/Operator.h"
#include "platform/Runtime.h"
#include "platform/SerialPort.h"

#include <functional>
#include <memory>
#include <string>

namespace kvt::monitor {

// The main window's side of the serial port: the port toggle with the panels, icons and menu check
// it drives, open-if-closed, close-with-drain, the connection clock, and the engine's view.
class PortController final : public link::LinkView {
public:
    PortController(FrmTerminalModel& model, platform::SerialPort& port, platform::Runtime& runtime,
                   platform::Operator& op);
    ~PortController() override;

    link::TransactionEngine& engine() { return *engine_; }

    // mnuOpen, imgConnected and imgNotConnected clicks. Returns false when the port raised an
    // error.
    bool portToggle();
    void mnuOpen_Click() { portToggle(); }
    void imgConnected_Click() { portToggle(); }
    void imgNotConnected_Click() { portToggle(); }

    // The first step of every sender: false means abandon the operation.
    bool openIfClosed();

    // Drains the output (up to 10 s, then "Data cannot be sent": Abort / Retry / Ignore) and
    // closes. Returns false on Abort: the port stays open and the caller gives up.
    bool closeWithDrain();
    // The panels, icons, toolbar and menu check of a closed port.
    void showPortClosed();

    platform::Timer& Timer1() { return *timer1_; }

    // Text the port received while no monitoring runs, for the terminal window.
    std::function<void(const std::string&)> onTerminalText;
    // A command's bytes as written (with the CR) while no monitoring runs, for the terminal's
    // transcript.
    std::function<void(const std::string&)> onTerminalSent;

    // link::LinkView
    void showTransmitted(const std::string& line) override;
    void showReceived(const std::string& line) override;
    void setStatusPanel(const std::string& text) override;
    void terminalReceived(const std::string& text) override;
    void portClosedUnexpectedly() override;

    static constexpr double kDrainSeconds = 10.0;

private:
    void applyPortState();
    void tickConnectTime();

    FrmTerminalModel& model_;
    platform::SerialPort& port_;
    platform::Runtime& runtime_;
    platform::Operator& operator_;
    std::unique_ptr<link::TransactionEngine> engine_;
    std::unique_ptr<platform::Timer> timer1_;
    double connectedSince_ = 0.0;
};

// "hh:nn:ss" of a duration in seconds (hours keep counting past 99).
std::string formatElapsed(double seconds);

} // namespace kvt::monitor
