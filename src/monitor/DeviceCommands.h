#pragma once

#include <string>

namespace kvt::monitor {

class FrmTerminal;
class DeviceSync;

// The "&Commands", "&Device" and "&Options" menu entries that change or read one setting of the
// current device.
class DeviceCommands {
public:
    // Registers a handler for every menu entry it serves.
    DeviceCommands(FrmTerminal& terminal, DeviceSync& sync);

    // Valve positions 0 "Close", 1 "Auto", 2 "Open"; the main window's selector sends the
    // upper-case form.
    void valve(int position, bool selector = false);

    // Also the single-unit panel's buttons.
    void totalizerStart(bool atFlow);
    void totalizerStopNow();
    void alarmEnable();
    void alarmDisable();

private:
    void flow();
    void setPoint();
    // 0 analog, 1 digital.
    void inputMode(int mode);
    void inputModeStatus();
    void valveStatus();
    // Index 0..9 of the unit table.
    void engineeringUnit(int index);
    void gasTable();
    void totalizerRead();
    void totalizerDisable();
    void totalizerReset();
    void alarmStatus();
    // 0 off, 1 internal table, 2 user value.
    void kFactor(int source);
    void timerRead();
    void timerReset();
    void autoZero(bool enable);
    void autoZeroSave();
    void autoZeroStatus();

    // The current device, or 0 when the table holds none.
    int device() const;
    // Yes / No before a destructive step; true on Yes.
    bool confirm(const std::string& first, const std::string& second);
    void tellNotANumber(const std::string& typed);

    FrmTerminal& t_;
    DeviceSync& sync_;
};

} // namespace kvt::monitor
