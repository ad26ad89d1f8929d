#include "config/DeviceCommand.h"

#include "link/CommandLine.h"

namespace kvt::config {

std::string deviceCommand(const DeviceTable& table, int slot, bool rs232, std::string_view body) {
    return link::commandLine(rs232, table.record(slot).Address, body);
}

} // namespace kvt::config
