#pragma once

#include "config/DeviceTable.h"

#include <string>
#include <string_view>

namespace kvt::config {

// The command line for the device in `slot`: addressed in RS-485 mode, the body alone in RS-232
// mode.
std::string deviceCommand(const DeviceTable& table, int slot, bool rs232, std::string_view body);

} // namespace kvt::config
