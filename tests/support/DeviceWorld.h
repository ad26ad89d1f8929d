#pragma once

#include "config/SetupFile.h"
#include "support/LineKind.h"
#include "support/TerminalWorld.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kvt::testing {

// Several numbers as one value, so that one assertion compares them all and names each.
template <typename... T> std::vector<double> nums(T... values) {
    return {static_cast<double>(values)...};
}

// A record written as its line in setup.dat: number, address, name, gas, unit, user factor,
// input, valve, set point, totalizer on, start flow, stop total, action, alarm on, high, low,
// update rate, relay 1, relay 2, K-factor source, index, user K, communication.
inline config::DeviceRecord recordOf(const std::string& setupLine) {
    return config::parseSetupLine(setupLine).value();
}

// One device at address 1A after start-up; the loader's traffic and boxes are discarded.
struct DeviceWorld {
    using Lines = std::vector<std::string>;

    explicit DeviceWorld(const LineKind& mode, config::DeviceRecord rec = deviceRecord("7", "1A"),
                         sim::DeviceOptions device = {}, double startTimeOfDay = 10 * 3600.0)
        : mode(mode), w(mode.line, {rec}, {at1A(device)}, startTimeOfDay), t(w.start()) {
        w.takeWritten();
        w.op.shown.clear();
    }
    static sim::DeviceOptions at1A(sim::DeviceOptions o) {
        o.address = "1A";
        o.noisePercent = 0;
        return o;
    }
    static Lines prefixed(const std::string& prefix, const Lines& bodies) {
        Lines out;
        for (const auto& b : bodies)
            out.push_back(prefix + b);
        return out;
    }
    // "a b c" as {"a", "b", "c"}.
    static Lines words(const std::string& text) {
        Lines out;
        std::istringstream in(text);
        for (std::string word; in >> word;)
            out.push_back(word);
        return out;
    }
    static int count(const Lines& lines, const std::string& line) {
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }

    config::DeviceRecord& rec() { return t.table.record(1); }
    config::DeviceStatus& status() { return t.table.status(1); }
    std::string info(const std::string& label) { return t.model.info[label].caption; }
    std::string setupText() { return test::readFile(w.setupPath()); }
    // The record as setup.dat holds it.
    config::DeviceRecord saved() {
        config::DeviceTable table;
        config::LoadDeviceTable(table, w.setupPath());
        return table.record(1);
    }
    // The device answers `text` to the command `body` (without prefix), framed for the line.
    void answer(const std::string& body, const std::string& text) {
        w.port.rewriteReply = [this, body, text](std::string reply) {
            if (w.bus.commandLog().back() != mode.prefix + body)
                return reply;
            return mode.rs232() ? text + "\r\n>" : "1A: " + text + "\r\n";
        };
    }
    // The device stays silent to each listed command (without prefix) as many times as given.
    void silence(std::map<std::string, int> times) {
        w.port.rewriteReply = [this, times](std::string reply) mutable {
            auto it = times.find(w.bus.commandLog().back().substr(mode.prefix.size()));
            if (it == times.end() || it->second == 0)
                return reply;
            --it->second;
            return std::string{};
        };
    }
    // Lines written since the last call; the test compares whole lines.
    Lines written() { return w.takeWritten(); }
    Lines lines(const Lines& bodies) const { return prefixed(mode.prefix, bodies); }

    LineKind mode;
    TerminalWorld w;
    monitor::FrmTerminal& t;
};

} // namespace kvt::testing
