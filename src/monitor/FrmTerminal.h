#pragma once

#include "config/DeviceTable.h"
#include "link/BusStatistics.h"
#include "link/CommSettings.h"
#include "link/TransactionEngine.h"
#include "monitor/DialogHost.h"
#include "monitor/FrmTerminalModel.h"
#include "monitor/PortController.h"
#include "monitor/UnitTable.h"
#include "platform/Operator.h"
#include "platform/PreferenceStore.h"
#include "platform/Runtime.h"
#include "platform/SerialPort.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::monitor {

class DeviceSync;
class DeviceCommands;
class DataLogs;
class SingleUnitMonitor;
class MultiUnitMonitor;
class ProgramRunner;
class TerminalWindow;
class TrendModel;

// The main window's logic and the program-wide state every operation shares.
class FrmTerminal {
public:
    struct Services {
        platform::SerialPort& port;
        platform::Runtime& runtime;
        platform::Operator& op;
        platform::PreferenceStore& preferences;
        DialogHost& dialogs;
        std::string setupPath; // setup.dat
        std::string logFolder; // where the log choosers propose their default names
    };
    explicit FrmTerminal(Services services);
    ~FrmTerminal();
    FrmTerminal(const FrmTerminal&) = delete;
    FrmTerminal& operator=(const FrmTerminal&) = delete;

    FrmTerminalModel model;

    // Program-wide state.
    config::DeviceTable table;
    link::CommSettings settings;
    UnitTable units;
    bool loading = false;
    int progressCounter = 1;
    int deviceNotAccessible = 0;
    int viewSize = 4;
    std::array<bool, config::DeviceTable::kMaxDevices + 1> edited{}; // by slot, 1-based
    std::string entryText;   // the last text typed for a set point or gas table
    bool comMonitor = false; // "Com_monitor"
    bool devInfo = false;    // "Dev_info"
    bool setPointRefresh = false;
    std::string currentAddress;
    bool ended = false; // the program has closed
    // The device properties entry is off until the loader has sent the dialog's edits.
    bool loaderLocksDProperties = false;

    // Start-up and shutdown.
    void Form_Load();
    void Timer8_Timer();
    // The device loader's part that every run does; later runs do only this.
    void loaderCommonPart();
    // E&xit; and closing the window by any means. False: the close was cancelled (Abort).
    bool mnuFileExit_Click();
    bool Form_QueryUnload();

    // What the widget layer forwards.
    void menuClick(const std::string& name);
    void toolbarClick(const std::string& key);
    void cboCurUnit_Click(int listIndex);
    void cboValveS_Click(int listIndex);
    bool hasMenuHandler(const std::string& name) const { return menuHandlers_.count(name) > 0; }

    // Shared pieces of the operations.
    int currentDevice() const { return table.currentDevice(); }
    void setInterfaceRs232(bool rs232);
    bool rs232() const { return settings.interfaceRs232; }

    using Wait = link::TransactionEngine::Wait;
    struct Steps {
        bool openPort = true;       // open the port if closed; abandon when that fails
        bool stopMonitoring = true; // stop the single-unit sampling timer around the exchange
        Wait wait = Wait::ForDone;  // before sending
        bool showReply = true;      // reply to the status panel
        bool waitReply = true;      // wait for the reply
        bool reportNoReply = true;  // "No connection!" when no reply comes
    };
    // Sends `body` to the device in `slot`: the steps of the setting exchange up to the reply.
    // nullopt: abandoned (port would not open, or the program is closing). "" : no reply.
    std::optional<std::string> exchange(int slot, std::string_view body, Steps steps);
    std::optional<std::string> exchange(int slot, std::string_view body) {
        return exchange(slot, body, Steps{});
    }
    // As exchange, for repeating callers: a silent device is reported once and has to answer
    // again before it is reported again. `silentReported` carries that state between calls.
    std::optional<std::string> exchangeReportingOnce(int slot, std::string_view body, Steps steps,
                                                     bool& silentReported);
    // The closing steps: rewrite setup.dat when a field changed, restart monitoring.
    void finishExchange(bool restartMonitoring = true);
    // Stores a value; marks the table changed only when it differs.
    template <typename T, typename U> void setField(T& field, const U& value) {
        T v = static_cast<T>(value);
        if (field != v) {
            field = v;
            engine().tableChanged = true;
        }
    }
    // Writes setup.dat; a failure is reported to the operator with the host's reason.
    bool saveTable();
    void advanceProgress();
    // Sets an information label to its prefix followed by `value`.
    void setInfo(const std::string& label, const std::string& value);
    // Moves the valve selector to show `valveMode`; sends nothing.
    void showValveMode(int valveMode);
    void stopMonitoring();
    void restartMonitoring();
    void refreshDevicePanels();

    // Enables or disables what a monitoring mode locks; the port-dependent toolbar buttons follow
    // the port again when enabled, and the multi-unit entries stay off on an RS-232 line.
    void enableForMode(const std::vector<std::string>& menus,
                       const std::vector<std::string>& buttons, bool enabled);
    // "Device is Disabled for Communication!" ...
    void tellDisabledForCommunication();
    // Ending a monitoring mode: a second for the last answers, then the port closes.
    void closePortAfterASecond();

    // Enabled states that respect entries whose features are not built yet (they stay disabled).
    void setMenuEnabled(const std::string& name, bool enabled);
    void setToolbarEnabled(const std::string& key, bool enabled);

    // Operation modules add their handlers here.
    void registerMenu(const std::string& name, std::function<void()> handler);
    void registerToolbar(const std::string& key, std::function<void()> handler);

    PortController& ports() { return *ports_; }
    link::TransactionEngine& engine() { return ports_->engine(); }
    DeviceSync& sync() { return *sync_; }
    DeviceCommands& commands() { return *commands_; }
    DataLogs& logs() { return *logs_; }
    SingleUnitMonitor& single() { return *single_; }
    MultiUnitMonitor& multi() { return *multi_; }
    ProgramRunner& program() { return *program_; }
    TerminalWindow& terminalWindow() { return *terminal_; }
    TrendModel& trend() { return *trend_; }
    link::BusStatistics& busStatistics() { return *bus_; }
    // The widget layer shows the Trend and Bus Health windows (they are not modal).
    std::function<void()> onShowTrend;
    std::function<void()> onShowBusHealth;
    platform::Operator& op() { return op_; }
    platform::Runtime& runtime() { return runtime_; }
    platform::SerialPort& port() { return port_; }
    platform::PreferenceStore& preferences() { return preferences_; }
    DialogHost& dialogs() { return dialogs_; }
    const std::string& setupPath() const { return setupPath_; }

    // The start-up loader or a later run of it is still to come or in progress.
    bool loaderActive() const { return loading || timer8_->isActive() || loaderBusy_; }
    platform::Timer& Timer4() { return *timer4_; }
    platform::Timer& Timer5() { return *timer5_; }
    platform::Timer& Timer7() { return *timer7_; }
    platform::Timer& Timer8() { return *timer8_; }
    platform::Timer& Timer9() { return *timer9_; }
    platform::Timer& TimerM() { return *timerM_; }

private:
    std::string pref(const std::string& key, const std::string& def) const;
    void savePref(const std::string& key, const std::string& value);
    void saveClosingPreferences();
    void mnuMonitor_Click();
    void mnuDeviceInfo_Click();
    void updateMenuEnabling();
    void selectCurrentInList();

    platform::SerialPort& port_;
    platform::Runtime& runtime_;
    platform::Operator& op_;
    platform::PreferenceStore& preferences_;
    DialogHost& dialogs_;
    std::string setupPath_;
    bool loaderBusy_ = false; // the loader's downloads are in progress
    std::unique_ptr<PortController> ports_;
    std::unique_ptr<platform::Timer> timer4_, timer5_, timer7_, timer8_, timer9_, timerM_;
    std::map<std::string, std::function<void()>> menuHandlers_;
    std::map<std::string, std::function<void()>> toolbarHandlers_;
    std::unique_ptr<DeviceSync> sync_;
    std::unique_ptr<DeviceCommands> commands_;
    std::unique_ptr<DataLogs> logs_;
    std::unique_ptr<SingleUnitMonitor> single_;
    std::unique_ptr<MultiUnitMonitor> multi_;
    std::unique_ptr<TrendModel> trend_;
    std::unique_ptr<link::BusStatistics> bus_;
    bool built_ = false; // the constructor has run
    std::unique_ptr<ProgramRunner> program_;
    std::unique_ptr<TerminalWindow> terminal_;
};

} // namespace kvt::monitor
