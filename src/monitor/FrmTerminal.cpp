#include "monitor/FrmTerminal.h"

#include "config/DeviceCommand.h"
#include "config/SetupFile.h"
#include "link/NumberText.h"
#include "monitor/DataLogs.h"
#include "monitor/DeviceCommands.h"
#include "monitor/DeviceSync.h"
#include "monitor/FrmDProp.h"
#include "monitor/FrmProgram.h"
#include "monitor/FrmProperties.h"
#include "monitor/MultiUnitMonitor.h"
#include "monitor/SingleUnitMonitor.h"
#include "monitor/TerminalMenus.h"
#include "monitor/TerminalWindow.h"
#include "monitor/TrendModel.h"

#include <algorithm>
#include <cmath>

namespace kvt::monitor {

namespace {

constexpr const char* kSection = "Properties";

// A stored timing code: a list position 0..12; anything else falls back to the default.
int timingCode(const std::string& text, int fallback) {
    if (!link::isNumber(text))
        return fallback;
    double v = link::leadingNumber(text);
    if (v < 0 || v > 12 || v != std::floor(v))
        return fallback;
    return static_cast<int>(v);
}

} // namespace

FrmTerminal::FrmTerminal(Services s)
    : port_(s.port), runtime_(s.runtime), op_(s.op), preferences_(s.preferences),
      dialogs_(s.dialogs), setupPath_(std::move(s.setupPath)),
      ports_(std::make_unique<PortController>(model, port_, runtime_, op_)),
      timer4_(runtime_.createTimer(500)), timer5_(runtime_.createTimer(5000)),
      timer7_(runtime_.createTimer(200)), timer8_(runtime_.createTimer(1000)),
      timer9_(runtime_.createTimer(50)), timerM_(runtime_.createTimer(0)) {
    timer8_->setOnTick([this] { Timer8_Timer(); });

    registerMenu("mnuOpen", [this] { ports_->mnuOpen_Click(); });
    registerMenu("mnuMonitor", [this] { mnuMonitor_Click(); });
    registerMenu("mnuDeviceInfo", [this] { mnuDeviceInfo_Click(); });
    registerMenu("mnuFileExit", [this] { mnuFileExit_Click(); });
    registerMenu("mnuHelpA", [this] { dialogs_.showAbout(); });
    auto properties = [this] {
        FrmProperties dialog(*this);
        dialog.Form_Load();
        dialogs_.showProperties(dialog);
    };
    registerMenu("mnuProperties", properties);
    registerToolbar("Properties", properties);
    registerToolbar("TransmitTextFile", [this] { mnuDeviceInfo_Click(); });
    registerMenu("mnuDProperties", [this] {
        // The loader's download works from the table; it must not change under it.
        if (loaderActive())
            return;
        FrmDProp dialog(*this);
        dialog.Form_Load();
        dialogs_.showDeviceProperties(dialog);
    });

    sync_ = std::make_unique<DeviceSync>(*this);
    commands_ = std::make_unique<DeviceCommands>(*this, *sync_);
    const std::string csvFolder = s.logFolder;
    logs_ = std::make_unique<DataLogs>(*this, std::move(s.logFolder));
    single_ = std::make_unique<SingleUnitMonitor>(*this);
    multi_ = std::make_unique<MultiUnitMonitor>(*this);
    program_ = std::make_unique<ProgramRunner>(*this);
    terminal_ = std::make_unique<TerminalWindow>(*this);
    trend_ = std::make_unique<TrendModel>(runtime_.clock());
    trend_->exportFolder = csvFolder;
    bus_ = std::make_unique<link::BusStatistics>(runtime_.clock());
    engine().setObserver(bus_.get());
    auto trend = [this] {
        if (onShowTrend)
            onShowTrend();
    };
    registerMenu("mnuTrend", trend);
    registerToolbar("Trend", trend);
    auto busHealth = [this] {
        if (onShowBusHealth)
            onShowBusHealth();
    };
    registerMenu("mnuBusHealth", busHealth);
    registerToolbar("BusHealth", busHealth);
    registerMenu("mnuFileExportCsv", [this] { trend_->exportAsked(op_, trend_->exportFolder); });
    updateMenuEnabling();
    built_ = true;
}

FrmTerminal::~FrmTerminal() {
    engine().setObserver(nullptr);
}

void FrmTerminal::registerMenu(const std::string& name, std::function<void()> handler) {
    menuHandlers_[name] = std::move(handler);
    // Modules built after this window bring their entries back to their starting state.
    if (built_)
        for (const auto& node : terminalMenuTree())
            if (node.name == name)
                model.menu(name).enabled = node.enabledAtStart;
}

void FrmTerminal::registerToolbar(const std::string& key, std::function<void()> handler) {
    toolbarHandlers_[key] = std::move(handler);
}

void FrmTerminal::updateMenuEnabling() {
    // Entries whose features are not built yet stay visible but cannot be chosen.
    for (const auto& node : terminalMenuTree())
        if (!isMenuParent(node.name) && !menuHandlers_.count(node.name))
            model.menu(node.name).enabled = false;
    for (auto& [key, button] : model.toolbar)
        if (!toolbarHandlers_.count(key))
            button.enabled = false;
}

void FrmTerminal::setMenuEnabled(const std::string& name, bool enabled) {
    model.menu(name).enabled = enabled && (menuHandlers_.count(name) || isMenuParent(name));
}

void FrmTerminal::setToolbarEnabled(const std::string& key, bool enabled) {
    model.toolbar[key].enabled = enabled && toolbarHandlers_.count(key);
}

void FrmTerminal::menuClick(const std::string& name) {
    auto it = menuHandlers_.find(name);
    if (it == menuHandlers_.end() || !model.menu(name).enabled)
        return;
    auto handler = it->second; // a handler may re-register while it runs
    handler();
    model.changed();
}

void FrmTerminal::toolbarClick(const std::string& key) {
    auto it = toolbarHandlers_.find(key);
    if (it == toolbarHandlers_.end() || !model.toolbar[key].enabled)
        return;
    auto handler = it->second;
    handler();
    model.changed();
}

void FrmTerminal::setInterfaceRs232(bool rs232) {
    settings.interfaceRs232 = rs232;
    engine().interfaceRs232 = rs232;
}

std::string FrmTerminal::pref(const std::string& key, const std::string& def) const {
    return preferences_.get(link::kApplication, kSection, key, def);
}

void FrmTerminal::savePref(const std::string& key, const std::string& value) {
    preferences_.save(link::kApplication, kSection, key, value);
}

void FrmTerminal::Form_Load() {
    // 1, 2
    loading = true;
    timer8_->setInterval(1000);
    model.txtTerm.caption.clear();
    engine().autoSingleMonitoring = false;
    model.frmTerminal.caption = link::kApplication;

    // 3: port preferences, each only when saved.
    if (auto s = pref("Settings", ""); !s.empty()) {
        if (auto error = port_.setSettings(s); !error.empty()) {
            op_.message(
                {error, link::kApplication, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
            model.changed();
            return;
        }
    }
    // A stored number beyond any int ("1e10") is as good as none: the port keeps its default.
    auto storedInt = [this](const char* key) -> std::optional<int> {
        const std::string text = pref(key, "");
        if (text.empty())
            return std::nullopt;
        return link::truncatedInt(link::leadingNumber(text));
    };
    if (auto n = storedInt("CommPort")) {
        if (auto error = port_.setCommPort(*n); !error.empty())
            op_.message(
                {error, link::kApplication, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
    }
    if (auto h = storedInt("Handshaking")) {
        if (auto error = port_.setHandshaking(*h); !error.empty()) {
            op_.message(
                {error, link::kApplication, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
            model.changed();
            return;
        }
    }
    settings.echo = pref("Echo", "") == "True";

    // 4: the device table.
    auto loaded = config::LoadDeviceTable(table, setupPath_);
    if (!loaded.message.empty())
        op_.message({loaded.message, kSystemMonitor, platform::Buttons::Ok,
                     platform::Icon::Exclamation, 0});
    model.cboCurUnit.items.clear();
    model.cboCurUnit.itemData.clear();
    for (int slot = 1; slot <= config::DeviceTable::kMaxDevices; ++slot) {
        if (!table.holdsDevice(slot))
            continue;
        model.cboCurUnit.items.push_back(table.record(slot).Number);
        model.cboCurUnit.itemData.push_back(slot);
    }
    engine().tableChanged = false;
    edited.fill(false);

    // 5
    model.cboValveS.items = {"CLOSE", " AUTO", " OPEN"};

    // 6: intervals, current device, interface.
    settings.singleSamplingCode = timingCode(pref("Time_ss", "1"), 1);
    settings.singleRecordingCode = timingCode(pref("Time_sr", "4"), 4);
    settings.multiSamplingCode = timingCode(pref("Time_ms", "1"), 1);
    settings.multiRecordingCode = timingCode(pref("Time_mr", "4"), 4);
    timer4_->setInterval(link::kSamplingListMs[settings.singleSamplingCode]);
    timer5_->setInterval(link::kRecordingListMs[settings.singleRecordingCode]);
    {
        std::string cur = pref("Cur_unit", "1");
        int n = link::isNumber(cur) ? link::truncatedInt(link::leadingNumber(cur)).value_or(1) : 1;
        // A number outside the table falls back to the first device.
        if (!table.holdsDevice(n))
            n = 1;
        table.setCurrentDevice(n);
    }
    setInterfaceRs232(pref("Interface", "True") != "False");

    // 7
    if (rs232()) {
        model.sbrStatus1["Interface"].text = "Interface: RS232";
        setMenuEnabled("mnuAutoM", false);
        setToolbarEnabled("StartAM", false);
    } else {
        model.sbrStatus1["Interface"].text = "Interface: RS485";
        setMenuEnabled("mnuVM4", true);
        setMenuEnabled("mnuVM8", true);
        model.menu("mnuVM4").checked = true;
    }

    // 8
    comMonitor = pref("Com_monitor", "0") == "1";
    model.menu("mnuMonitor").checked = comMonitor;
    model.fraSendR.visible = comMonitor;
    devInfo = pref("Dev_info", "0") == "1";
    model.menu("mnuDeviceInfo").checked = devInfo;
    model.FrmInfo.visible = devInfo;

    // 9: the recorder is off until started, which needs an open auto log.
    setMenuEnabled("mnuStop", false);

    // 10, 11
    currentAddress =
        table.holdsDevice(currentDevice()) ? table.record(currentDevice()).Address : "";
    std::string savedPort = pref("CommPort", "");
    model.sbrStatus1["Comport"].text =
        "COM Port: Com" + (savedPort.empty() ? std::to_string(port_.commPort()) : savedPort);
    refreshDevicePanels();
    viewSize = model.menu("mnuVM8").checked ? 8 : 4;

    // 12
    const auto& cur = table.record(currentDevice());
    units.build(cur.UserEuFactor);
    model.lblEU.caption = UnitTable::name(cur.EngUnit);

    // 13, 14
    engine().showReply = false;
    timer8_->start();
    progressCounter = 1;
    engine().cancelSending = false;
    model.frmProgressBar.caption = "Loading Device Info. Standby...";
    model.progressValue = progressCounter;
    model.frmProgressBar.visible = true;
    model.changed();
}

void FrmTerminal::refreshDevicePanels() {
    int cur = currentDevice();
    bool held = table.holdsDevice(cur);
    model.sbrStatus1["Address"].text = "Address: " + (held ? table.record(cur).Address : "");
    model.sbrStatus1["Device"].text = "Device: " + (held ? table.record(cur).Number : "");
    model.sbrStatus1["Total"].text = "Total in System: " + std::to_string(table.deviceCount());
    model.sbrStatus1["FSF"].text =
        "FSF: " + (held ? link::formatNumber(table.status(cur).FullScale) : "");
    model.changed();
}

void FrmTerminal::Timer8_Timer() {
    if (!loading) {
        loaderCommonPart();
        return;
    }
    // 1, 2
    timer8_->stop();
    deviceNotAccessible = 0;
    if (!port_.portOpen() && !ports_->portToggle())
        return; // the progress window stays; the operator has been told why

    // 3, 4
    int cur = currentDevice();
    bool any = table.holdsDevice(cur);
    if (any) {
        int index = -1;
        for (std::size_t i = 0; i < model.cboCurUnit.itemData.size(); ++i)
            if (model.cboCurUnit.itemData[i] == cur)
                index = static_cast<int>(i);
        cboCurUnit_Click(index);
        if (deviceNotAccessible == 0) {
            sync_->statusReadout(cur);
            if (deviceNotAccessible == 0)
                sync_->FillDeviceInfo();
        }
        // 5
        model.sbrStatus1["FSF"].text = "FSF: " + link::formatNumber(table.status(cur).FullScale);
        if (deviceNotAccessible == 0)
            showValveMode(table.record(cur).ValveMode);
        // 6
        for (int slot = 1; slot <= table.deviceCount(); ++slot) {
            if (!table.holdsDevice(slot) || table.record(slot).CommEnabled != 1)
                continue;
            if (slot == cur && deviceNotAccessible != 0)
                continue;
            sync_->queryFullScale(slot);
        }
    }

    // 7
    deviceNotAccessible = 0;
    // Closes the port opened above; a port lost meanwhile is not opened again.
    if (port_.portOpen())
        (void)ports_->portToggle();
    model.menu("mnuOpen").checked = port_.portOpen();

    // 8, 9
    engine().cancelSending = true;
    model.frmProgressBar.visible = false;
    loading = false;
    model.frmProgressBar.caption = "Saving Table to EEPROM. Standby...";
    timer8_->setInterval(50);
    loaderCommonPart();
}

void FrmTerminal::loaderCommonPart() {
    // Stopped first: the downloads below wait, and a tick meanwhile would start them again.
    timer8_->stop();
    loaderBusy_ = true;
    refreshDevicePanels();
    if (table.holdsDevice(currentDevice()))
        model.lblEU.caption = UnitTable::name(table.record(currentDevice()).EngUnit);
    for (int slot = 1; slot <= config::DeviceTable::kMaxDevices; ++slot) {
        if (!edited[slot])
            continue;
        if (table.holdsDevice(slot) && table.record(slot).CommEnabled == 1) {
            sync_->download(slot);
            if (slot == currentDevice())
                sync_->FillDeviceInfo();
        }
        edited[slot] = false;
    }
    loaderBusy_ = false;
    if (loaderLocksDProperties) {
        loaderLocksDProperties = false;
        if (!engine().autoSingleMonitoring && !engine().autoMultiMonitoring)
            setMenuEnabled("mnuDProperties", true);
    }
    model.changed();
}

void FrmTerminal::cboCurUnit_Click(int listIndex) {
    if (listIndex < 0 || listIndex >= static_cast<int>(model.cboCurUnit.itemData.size()))
        return;
    int slot = model.cboCurUnit.itemData[listIndex];
    if (!table.holdsDevice(slot))
        return;
    const bool monitoring = single_->running();
    // 1: a disabled device cannot be monitored; the list goes back to the device being watched.
    if (monitoring && !single_->deviceChanging(slot)) {
        selectCurrentInList();
        model.changed();
        return;
    }
    model.cboCurUnit.listIndex = listIndex;
    // 2
    table.setCurrentDevice(slot);
    currentAddress = table.record(slot).Address;
    // 3
    if (table.record(slot).CommEnabled != 1) {
        table.status(slot).FullScale = 100.0;
    } else {
        sync_->download(slot);
    }
    if (!loading)
        sync_->FillDeviceInfo();
    // 4
    model.sbrStatus1["Address"].text = "Address: " + currentAddress;
    model.sbrStatus1["Device"].text = "Device: " + table.record(slot).Number;
    model.sbrStatus1["FSF"].text = "FSF: " + link::formatNumber(table.status(slot).FullScale);
    // 5
    if (monitoring && single_->running())
        single_->deviceChanged();
    model.changed();
}

void FrmTerminal::selectCurrentInList() {
    auto& data = model.cboCurUnit.itemData;
    auto it = std::find(data.begin(), data.end(), currentDevice());
    model.cboCurUnit.listIndex = it == data.end() ? -1 : static_cast<int>(it - data.begin());
}

void FrmTerminal::cboValveS_Click(int listIndex) {
    if (listIndex < 0 || listIndex > 2)
        return;
    model.cboValveS.listIndex = listIndex;
    commands_->valve(listIndex, true);
}

void FrmTerminal::showValveMode(int valveMode) {
    model.cboValveS.listIndex = valveMode >= 0 && valveMode <= 2 ? valveMode : -1;
    model.changed();
}

std::optional<std::string> FrmTerminal::exchange(int slot, std::string_view body, Steps steps) {
    if (steps.openPort && !ports_->openIfClosed())
        return std::nullopt;
    if (!table.holdsDevice(slot))
        return std::nullopt;
    std::string line = config::deviceCommand(table, slot, rs232(), body);
    if (steps.stopMonitoring)
        stopMonitoring();
    return engine().exchange(line, {.wait = steps.wait,
                                    .showReply = steps.showReply,
                                    .waitReply = steps.waitReply,
                                    .reportNoReply = steps.reportNoReply});
}

std::optional<std::string> FrmTerminal::exchangeReportingOnce(int slot, std::string_view body,
                                                              Steps steps, bool& silentReported) {
    steps.reportNoReply = !silentReported;
    auto reply = exchange(slot, body, steps);
    if (reply)
        silentReported = reply->empty();
    return reply;
}

void FrmTerminal::finishExchange(bool restart) {
    if (engine().tableChanged)
        saveTable();
    if (restart)
        restartMonitoring();
}

bool FrmTerminal::saveTable() {
    std::string error = config::SaveDeviceTable(table, setupPath_);
    if (!error.empty()) {
        // The flag stays set, so the next change tries again.
        op_.message({error, kSystemMonitor, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
        return false;
    }
    engine().tableChanged = false;
    return true;
}

void FrmTerminal::advanceProgress() {
    if (!loading)
        return;
    if (++progressCounter > FrmTerminalModel::kProgressMax)
        progressCounter = 1;
    model.progressValue = progressCounter;
    model.changed();
}

void FrmTerminal::setInfo(const std::string& label, const std::string& value) {
    model.info[label].caption = std::string(infoPrefix(label)) + value;
    model.changed();
}

void FrmTerminal::stopMonitoring() {
    if (engine().autoSingleMonitoring)
        timer4_->stop();
}

void FrmTerminal::restartMonitoring() {
    if (engine().autoSingleMonitoring)
        timer4_->start();
}

void FrmTerminal::enableForMode(const std::vector<std::string>& menus,
                                const std::vector<std::string>& buttons, bool enabled) {
    for (const auto& name : menus)
        setMenuEnabled(name, enabled);
    for (const auto& key : buttons)
        setToolbarEnabled(key, enabled);
    model.imgConnected.enabled = model.imgNotConnected.enabled = enabled;
    if (enabled) {
        bool open = port_.portOpen();
        setToolbarEnabled("TransmitTextFile", open);
        setToolbarEnabled("HangUpPhone", open);
        // A log that is open cannot be opened again.
        setToolbarEnabled("ALogO", !logs_->isOpen(LogSlot::Auto));
        setToolbarEnabled("OpenLogFile", !logs_->isOpen(LogSlot::Comm));
    }
    if (rs232()) {
        setMenuEnabled("mnuAutoM", false);
        setToolbarEnabled("StartAM", false);
    }
    model.changed();
}

void FrmTerminal::tellDisabledForCommunication() {
    op_.message({"Device is Disabled for Communication!\rChange Device Properties and try again!",
                 kSystemMonitor, platform::Buttons::Ok, platform::Icon::Information, 0});
}

void FrmTerminal::closePortAfterASecond() {
    if (!port_.portOpen())
        return;
    double until = std::round(runtime_.clock().monotonic() + 1.0);
    if (!platform::waitUntilOrDeadline(runtime_, until, [] { return false; }))
        return;
    // A mode started again during the wait keeps its port.
    if (port_.portOpen() && !engine().autoSingleMonitoring && !engine().autoMultiMonitoring)
        ports_->portToggle();
}

void FrmTerminal::mnuMonitor_Click() {
    comMonitor = !comMonitor;
    model.menu("mnuMonitor").checked = comMonitor;
    model.fraSendR.visible = comMonitor;
    model.changed();
}

void FrmTerminal::mnuDeviceInfo_Click() {
    devInfo = !devInfo;
    model.menu("mnuDeviceInfo").checked = devInfo;
    model.FrmInfo.visible = devInfo;
    model.changed();
}

void FrmTerminal::saveClosingPreferences() {
    savePref("Cur_unit", std::to_string(currentDevice()));
    savePref("Com_monitor", comMonitor ? "1" : "0");
    savePref("Dev_info", devInfo ? "1" : "0");
}

bool FrmTerminal::mnuFileExit_Click() {
    logs_->closeLog(LogSlot::Alarm);
    if (port_.portOpen()) {
        // Half a second for whatever is still on its way.
        double until = runtime_.clock().monotonic() + 0.5;
        if (!platform::waitUntilOrDeadline(runtime_, until, [] { return false; }))
            return false;
        if (!ports_->portToggle())
            return false;
    }
    saveClosingPreferences();
    return Form_QueryUnload();
}

bool FrmTerminal::Form_QueryUnload() {
    if (ended)
        return true;
    program_->stopForClose();
    if (!ports_->closeWithDrain())
        return false; // Abort: the program keeps running
    ports_->showPortClosed();
    logs_->closeAll();
    saveClosingPreferences();
    ended = true;
    timer8_->stop();
    // The loops end with the program: no tick may send on the closed port any more.
    engine().autoSingleMonitoring = engine().autoMultiMonitoring = false;
    for (auto* timer : {timer4_.get(), timerM_.get(), timer5_.get()})
        timer->stop();
    model.changed();
    return true;
}

} // namespace kvt::monitor
