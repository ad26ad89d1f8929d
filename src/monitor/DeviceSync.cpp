// Placeholder until the device synchronisation lands.
#include "monitor/DeviceSync.h"

namespace kvt::monitor {
DeviceSync::DeviceSync(FrmTerminal& terminal) : t_(terminal) {}
void DeviceSync::queryFullScale(int) {}
void DeviceSync::queryInputMode(int) {}
void DeviceSync::queryValveMode(int) {}
void DeviceSync::queryRelay(int, int) {}
void DeviceSync::queryAutoZero(int) {}
void DeviceSync::queryAlarm(int) {}
void DeviceSync::queryTotalizer(int) {}
void DeviceSync::statusReadout(int) {}
void DeviceSync::download(int) {}
void DeviceSync::assignRelay(int, int) {}
void DeviceSync::FillDeviceInfo() {}
std::string DeviceSync::relayText(int) { return {}; }
} // namespace kvt::monitor
