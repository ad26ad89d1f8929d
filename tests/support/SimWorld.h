#pragma once

#include "monitor/FrmTerminalModel.h"
#include "monitor/PortController.h"
#include "sim/Bus.h"
#include "support/ScriptedOperator.h"
#include "support/SimRuntime.h"
#include "support/SimSerialPort.h"

#include <memory>
#include <string>
#include <vector>

namespace kvt::testing {

// One simulated bench: virtual time, simulated devices on a simulated port, a scripted operator,
// and the main window's port logic on top.
struct SimWorld {
    explicit SimWorld(sim::LineMode mode = sim::LineMode::Rs232,
                      std::vector<std::string> addresses = {"01"})
        : bus(mode, optionsFor(addresses)), port(rt, &bus), op(&rt), ports(model, port, rt, op) {
        ports.engine().interfaceRs232 = mode == sim::LineMode::Rs232;
    }

    static std::vector<sim::DeviceOptions> optionsFor(const std::vector<std::string>& addresses) {
        std::vector<sim::DeviceOptions> out;
        std::uint64_t seed = 1;
        for (const auto& a : addresses) {
            sim::DeviceOptions o;
            o.address = a;
            o.seed = seed++;
            out.push_back(o);
        }
        return out;
    }

    link::TransactionEngine& engine() { return ports.engine(); }

    SimRuntime rt;
    sim::Bus bus;
    SimSerialPort port;
    ScriptedOperator op;
    monitor::FrmTerminalModel model;
    monitor::PortController ports;
};

} // namespace kvt::testing
