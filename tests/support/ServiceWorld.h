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
    void showCalibrateAD(service::CalibrateAD& dialog) override {
        run(calibrateAD, dialog, &service::CalibrateAD::cmdCalExit_Click);
    }
    std::function<void(service::ValveTable&)> valve;
    void showValve(service::ValveTable& dialog) override {
        run(valve, dialog, &service::ValveTable::cmdExit_Click);
    }

    bool hasGasTableWindows() const override { return true; }
    std::function<void(service::CalibrateCL&)> closeLoop;
    void showCalibrateCL(service::CalibrateCL& dialog) override {
        run(closeLoop, dialog, &service::CalibrateCL::cmdExit_Click);
    }
    std::function<void(service::EditGasTable&)> editGas;
    void showEditGT(service::EditGasTable& dialog) override {
        run(editGas, dialog, &service::EditGasTable::cmdCancel_Click);
    }
    bool hasAutoTuneWindow() const override { return true; }
    std::function<void(service::AutoTune&)> autoTune;
    void showAutoTune(service::AutoTune& dialog) override {
        run(autoTune, dialog, &service::AutoTune::cmdExit_Click);
        rt_.waitUntil([&] { return dialog.closed(); });
    }
    bool hasEepromWindows() const override { return true; }
    std::function<void(service::EepromExport&)> eepromExport;
    void showExport(service::EepromExport& dialog) override {
        dialog.Form_Load();
        run(eepromExport, dialog, &service::EepromExport::cmdCancel_Click);
    }
    std::function<void(service::EepromImport&)> eepromImport;
    void showImport(service::EepromImport& dialog) override {
        run(eepromImport, dialog, &service::EepromImport::cmdCancel_Click);
    }
    std::function<void(service::EepromCompare&)> eepromCompare;
    void showCompare(service::EepromCompare& dialog) override {
        run(eepromCompare, dialog, &service::EepromCompare::cmdClose_Click);
    }

private:
    // The operator's script, then the dialog's own way out if the script left it open.
    template <typename Dialog>
    static void run(const std::function<void(Dialog&)>& script, Dialog& dialog,
                    void (Dialog::*close)()) {
        if (script)
            script(dialog);
        if (!dialog.closed())
            (dialog.*close)();
    }

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
