#pragma once

#include "service/ServiceMenus.h"
#include "support/DeviceWorld.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kvt::testing {

// Modal service dialogs of a test: what the operator does inside is a script run once the dialog
// is shown; the dialog then stays until its logic closes it.
class ScriptedServiceDialogs final : public service::ServiceDialogs {
public:
    explicit ScriptedServiceDialogs(SimRuntime& rt) : rt_(rt) {}
    std::function<void(service::ZeroAdjust&)> zeroMan;
    int zeroManShown = 0;
    void showZeroMan(service::ZeroAdjust& dialog) override {
        ++zeroManShown;
        if (zeroMan)
            zeroMan(dialog);
        rt_.waitUntil([&] { return dialog.closed(); });
    }
    std::function<void(service::CalibrateAD&)> calibrateAD;
    int calibrateADShown = 0;
    void showCalibrateAD(service::CalibrateAD& dialog) override {
        ++calibrateADShown;
        if (calibrateAD)
            calibrateAD(dialog);
        if (!dialog.closed())
            dialog.cmdCalExit_Click();
    }
    std::function<void(service::ValveTable&)> valve;
    int valveShown = 0;
    void showValve(service::ValveTable& dialog) override {
        ++valveShown;
        if (valve)
            valve(dialog);
        if (!dialog.closed())
            dialog.cmdExit_Click();
    }

    bool hasGasTableWindows() const override { return true; }
    std::function<void(service::CalibrateCL&)> closeLoop;
    int closeLoopShown = 0;
    void showCalibrateCL(service::CalibrateCL& dialog) override {
        ++closeLoopShown;
        if (closeLoop)
            closeLoop(dialog);
        if (!dialog.closed())
            dialog.cmdExit_Click();
    }
    std::function<void(service::EditGasTable&)> editGas;
    int editGasShown = 0;
    void showEditGT(service::EditGasTable& dialog) override {
        ++editGasShown;
        if (editGas)
            editGas(dialog);
        if (!dialog.closed())
            dialog.cmdCancel_Click();
    }
    bool hasAutoTuneWindow() const override { return true; }
    std::function<void(service::AutoTune&)> autoTune;
    void showAutoTune(service::AutoTune& dialog) override {
        if (autoTune)
            autoTune(dialog);
        if (!dialog.closed())
            dialog.cmdExit_Click();
        rt_.waitUntil([&] { return dialog.closed(); });
    }
    bool hasEepromWindows() const override { return true; }
    std::function<void(service::EepromExport&)> eepromExport;
    void showExport(service::EepromExport& dialog) override {
        dialog.Form_Load();
        if (eepromExport)
            eepromExport(dialog);
        if (!dialog.closed())
            dialog.cmdCancel_Click();
    }
    std::function<void(service::EepromImport&)> eepromImport;
    void showImport(service::EepromImport& dialog) override {
        if (eepromImport)
            eepromImport(dialog);
        if (!dialog.closed())
            dialog.cmdCancel_Click();
    }
    std::function<void(service::EepromCompare&)> eepromCompare;
    void showCompare(service::EepromCompare& dialog) override {
        if (eepromCompare)
            eepromCompare(dialog);
        if (!dialog.closed())
            dialog.cmdClose_Click();
    }

private:
    SimRuntime& rt_;
};

// One device at address 1A after start-up, with every service procedure registered; the loader's
// traffic and boxes are discarded.
struct ServiceWorld : DeviceWorld {
    explicit ServiceWorld(const LineKind& kind, double startTimeOfDay = 10 * 3600.0)
        : DeviceWorld(kind, deviceRecord("7", "1A"), device(), startTimeOfDay), kind(kind),
          dialogs(w.rt), service(std::make_unique<service::ServiceMenus>(t, dialogs)) {
        w.takeWritten();
        w.op.shown.clear();
    }
    static sim::DeviceOptions device() {
        sim::DeviceOptions o;
        o.zeroingSeconds = 5.0; // status requests every 2 s see it running twice
        return o;
    }

    sim::Device& dev() { return w.bus.device(0); }
    void openBackDoor() { dev().handle("mw,1000,1", w.rt.now()); }
    void click(const std::string& menu) { t.menuClick(menu); }
    // Runs `action` after `seconds` of virtual time, while a handler waits.
    void at(double seconds, std::function<void()> action) {
        w.rt.schedule(seconds, std::move(action));
    }
    std::vector<std::string> boxes() const { return w.op.texts(); }

    LineKind kind;
    ScriptedServiceDialogs dialogs;
    std::unique_ptr<service::ServiceMenus> service;
};

} // namespace kvt::testing
