// Placeholder until the device settings commands land.
#include "monitor/DeviceCommands.h"

namespace kvt::monitor {
DeviceCommands::DeviceCommands(FrmTerminal& terminal, DeviceSync& sync) : t_(terminal), sync_(sync) {}
void DeviceCommands::valve(int) {}
} // namespace kvt::monitor
