#pragma once

#include <string>

namespace kvt::monitor {

class FrmTerminal;

// Brings the terminal's picture of a device and the device into agreement: the single-value status
// queries, the status readout ("Receive"), the settings download ("Transmit"), the relay assignment
// commands and the device information frame.
class DeviceSync {
public:
    // Registers the Synchronize menu items, the relay menu items and the two toolbar buttons.
    explicit DeviceSync(FrmTerminal& terminal);

    // Single-value queries; each updates the device's fields and one label when a reply came.
    void queryFullScale(int slot);
    void queryInputMode(int slot);
    void queryValveMode(int slot);
    void queryRelay(int slot, int relay);
    void queryAutoZero(int slot);
    void queryAlarm(int slot);
    void queryTotalizer(int slot);

    // Reads everything from the device (menu "Receive").
    void statusReadout(int slot);
    // Sends the device its whole stored configuration (menu "Transmit"). On failure the
    // terminal's device-not-accessible flag is set.
    void download(int slot);
    // Relay n (1 or 2) gets action code 0..4, on the current device.
    void assignRelay(int relay, int code);
    // Fills the device information frame for the current device.
    void FillDeviceInfo();

    // "No Action", "Totalizer > limit", ... for a relay action code; "" outside 0..4. Code 4 is
    // "Range between H & L": the display text, with the one ampersand that is shown.
    static std::string relayText(int code);
    // Information-panel values of the input mode, valve mode and auto-zero state.
    static std::string inputModeText(int inputMode);
    static std::string valveModeText(int valveMode);
    static std::string autoZeroText(int autoZeroState);

private:
    // The queries that stop monitoring restart it at the end unless a longer sequence runs them.
    void valveQuery(int slot, bool restartMonitoring);
    void relayQuery(int slot, int relay, bool restartMonitoring);
    void reportNotAccessible();
    // lblGas: the gas number and, when a name came, three blanks and the name.
    void showGas(int gasTable, const std::string& name);

    FrmTerminal& t_;
};

} // namespace kvt::monitor
