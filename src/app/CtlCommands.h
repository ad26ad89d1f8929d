#pragma once

#include "app/CtlOptions.h"
#include "platform/Runtime.h"
#include "platform/SerialPort.h"

#include <functional>
#include <map>
#include <ostream>
#include <string>

namespace kvt::app {

// What kvt-ctl's commands need from the program around them. No Qt here: the commands run on the
// same link layer as the terminal, through whatever port and runtime they are given.
struct CtlHost {
    platform::SerialPort& port; // settings already applied, closed
    platform::Runtime& runtime;
    std::ostream& out;
    std::ostream& err;
    std::function<std::string()> timestamp; // now, ISO 8601
    std::function<bool()> stopRequested;    // watch ends when this turns true
    // The set points setup.dat holds, by device address.
    std::map<std::string, double> setPoints;
};

// Opens the port, runs the command, closes the port. `address` is the device's address (shown in
// watch lines; sent only when `rs232` is false). Returns the exit status.
int runCtlCommand(const CtlOptions& options, bool rs232, const std::string& address, CtlHost& host);

} // namespace kvt::app
