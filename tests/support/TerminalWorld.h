#pragma once

#include "config/DeviceRecord.h"
#include "config/SetupFile.h"
#include "monitor/DialogHost.h"
#include "monitor/FrmDProp.h"
#include "monitor/FrmTerminal.h"
#include "sim/Bus.h"
#include "support/MemoryPreferences.h"
#include "support/ScriptedOperator.h"
#include "support/SimRuntime.h"
#include "support/SimSerialPort.h"
#include "support/TempFolder.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kvt::testing {

// Dialogs of a test: what the operator does inside each modal dialog is a script.
class ScriptedDialogs final : public monitor::DialogHost {
public:
    std::function<void(monitor::FrmProperties&)> properties;
    std::function<void(monitor::FrmDProp&)> deviceProperties;
    int devicePropertiesShown = 0;
    std::function<void(monitor::FrmProg&)> program;
    void showProperties(monitor::FrmProperties& dialog) override {
        if (properties)
            properties(dialog);
    }
    void showAbout() override {}
    void showDeviceProperties(monitor::FrmDProp& dialog) override {
        ++devicePropertiesShown;
        if (deviceProperties)
            deviceProperties(dialog);
    }
    void showProgram(monitor::FrmProg& dialog) override {
        if (program)
            program(dialog);
    }
};

// A device record for a table, enabled for communication unless told otherwise.
inline config::DeviceRecord deviceRecord(const std::string& number, const std::string& address,
                                         int commEnabled = 1) {
    config::DeviceRecord r;
    r.Number = number;
    r.Address = address;
    r.CommEnabled = static_cast<std::int16_t>(commEnabled);
    return r;
}

// Devices "01", "02", ... numbered from 1, named, in SLPM, digital input, valve auto, each at its
// set point.
inline std::vector<config::DeviceRecord> monitoredDevices(const std::vector<double>& setPoints) {
    std::vector<config::DeviceRecord> out;
    for (std::size_t i = 1; i <= setPoints.size(); ++i) {
        char address[8];
        std::snprintf(address, sizeof address, "%02zX", i);
        auto r = deviceRecord(std::to_string(i), address);
        r.Name = "Unit " + std::to_string(i);
        r.EngUnit = r.InputMode = r.ValveMode = 1;
        r.SetPoint = setPoints[i - 1];
        out.push_back(r);
    }
    return out;
}

// The main window's logic on simulated devices, a simulated port, a scripted operator, an
// in-memory preference store and a setup.dat in a fresh folder.
struct TerminalWorld {
    TerminalWorld(sim::LineMode mode, const std::vector<config::DeviceRecord>& records,
                  std::vector<sim::DeviceOptions> simDevices = {},
                  double startTimeOfDay = 10 * 3600.0)
        : rt(startTimeOfDay),
          bus(mode, simDevices.empty() ? optionsFor(mode, records) : std::move(simDevices)),
          port(rt, &bus), op(&rt) {
        prefs.save("KVT Control Terminal", "Properties", "Interface",
                   mode == sim::LineMode::Rs232 ? "True" : "False");
        prefs.saves.clear();
        writeSetupTo(setupPath(), records);
    }

    // One simulated device per record; an RS-232 line holds only the first.
    static std::vector<sim::DeviceOptions>
    optionsFor(sim::LineMode mode, const std::vector<config::DeviceRecord>& records) {
        std::vector<sim::DeviceOptions> out;
        std::uint64_t seed = 1;
        for (const auto& r : records) {
            if (mode == sim::LineMode::Rs232 && !out.empty())
                break;
            sim::DeviceOptions o;
            o.address = r.Address;
            o.seed = seed++;
            o.noisePercent = 0;
            out.push_back(o);
        }
        return out;
    }

    static void writeSetupTo(const std::string& path,
                             const std::vector<config::DeviceRecord>& records) {
        config::DeviceTable t;
        for (const auto& r : records)
            t.addDevice(r);
        config::SaveDeviceTable(t, path);
    }

    std::string setupPath() const { return folder.file("setup.dat"); }

    // Builds the window's logic (after the test has set up preferences and the table).
    monitor::FrmTerminal& terminal() {
        if (!term)
            term = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
                port, rt, op, prefs, dialogs, setupPath(), folder.path()});
        return *term;
    }

    // Runs start-up: the load sequence and, a second later, the device loader.
    monitor::FrmTerminal& start() {
        auto& t = terminal();
        t.Form_Load();
        rt.runFor(1.0);
        rt.runUntilIdle(120);
        return t;
    }

    // Lines the terminal wrote since the last call, without their carriage returns.
    std::vector<std::string> takeWritten() {
        std::vector<std::string> out;
        for (std::size_t i = taken; i < port.written.size(); ++i) {
            std::string l = port.written[i];
            if (!l.empty() && l.back() == '\r')
                l.pop_back();
            out.push_back(l);
        }
        taken = port.written.size();
        return out;
    }

    test::TempFolder folder;
    SimRuntime rt;
    sim::Bus bus;
    SimSerialPort port;
    ScriptedOperator op;
    MemoryPreferences prefs;
    ScriptedDialogs dialogs;
    std::unique_ptr<monitor::FrmTerminal> term;
    std::size_t taken = 0;
};

} // namespace kvt::testing
