#pragma once

namespace kvt::monitor {

class FrmTerminal;
class DeviceSync;

// The "&Commands", "&Device" and "&Options" menu entries that change or read one setting of the
// current device.
class DeviceCommands {
public:
    // Registers a handler for every menu entry it serves.
    DeviceCommands(FrmTerminal& terminal, DeviceSync& sync);

    // Valve selector positions 0 "Close", 1 "Auto", 2 "Open".
    void valve(int position);

private:
    FrmTerminal& t_;
    DeviceSync& sync_;
};

} // namespace kvt::monitor
