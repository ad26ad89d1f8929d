#pragma once

#include "support/DeviceWorld.h"
#include "support/TerminalWorld.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kvt::testing {

using Lines = std::vector<std::string>;

inline const char* const kApp = "KVT Control Terminal";
inline const char* const kSystemMonitor = "System Monitor";
inline const char* const kDisabled = "Device is Disabled for Communication!\r"
                                     "Change Device Properties and try again!";
inline const char* const kNotAccessible = "Device is not accessible. Transmission is terminated!\r"
                                          " Make sure device is connected to the system!";

// A box the operator saw, as one value: text, title, buttons and icon.
struct Box {
    std::string text, title;
    platform::Buttons buttons;
    platform::Icon icon;
    bool operator==(const Box&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << '[' << b.text << '|' << b.title << '|' << static_cast<int>(b.buttons) << '|'
              << static_cast<int>(b.icon) << ']';
}
inline Box boxOf(const ScriptedOperator::Shown& s) {
    return {s.text, s.title, s.buttons, s.icon};
}

// A value the program keeps among its properties.
inline std::string pref(TerminalWorld& w, const std::string& key) {
    return w.prefs.get(kApp, "Properties", key, "<missing>");
}

// Starts the terminal and forgets what start-up wrote and showed.
inline monitor::FrmTerminal& settle(TerminalWorld& w) {
    auto& t = w.start();
    w.takeWritten();
    w.op.shown.clear();
    return t;
}

// Bytes written to the port from index `from` on, joined.
inline std::string sentSince(const TerminalWorld& w, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < w.port.written.size(); ++i)
        out += w.port.written[i];
    return out;
}

// A simulated device without noise, so readings and set points come back exactly.
inline sim::DeviceOptions quietDevice(const std::string& address, double fullScaleSlpm = 100) {
    sim::DeviceOptions o;
    o.address = address;
    o.noisePercent = 0;
    o.fullScaleSlpm = fullScaleSlpm;
    return o;
}

} // namespace kvt::testing
