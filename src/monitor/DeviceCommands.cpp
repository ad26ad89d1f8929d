#include "monitor/DeviceCommands.h"

#include "link/CommandLine.h"
#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "monitor/DeviceSync.h"
#include "monitor/FrmTerminal.h"
#include "monitor/UnitTable.h"

#include <cctype>
#include <cmath>
#include <string_view>

namespace kvt::monitor {

namespace cmd = link::cmd;
namespace token = link::token;
using Steps = FrmTerminal::Steps;
using Wait = FrmTerminal::Wait;

namespace {

// The menu sends the unit's token in lower case ("u,slpm"); USER has a command of its own.
std::string unitWord(int index) {
    std::string word(UnitTable::token(index));
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

constexpr const char* kUnitMenus[] = {"mnuOptionsEU_FS",   "mnuOptionsEU_SLPM", "mnuOptionsEU_SLPH",
                                      "mnuOptionsEU_mLPM", "mnuOptionsEU_mLPH", "mnuOptionsEU_SCFH",
                                      "mnuOptionsEU_SCFM", "mnuOptionsEU_LBPH", "mnuOptionsEU_LBPM",
                                      "mnuOptionsEU_USER"};

// Operator text as it goes to the device: "," read as ".", blanks around it dropped (a blank
// inside a command line is not part of the protocol).
std::string typedValue(const std::string& typed) {
    std::string s = typed;
    for (char& c : s)
        if (c == ',')
            c = '.';
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t b = 0;
    while (b < s.size() && blank(s[b]))
        ++b;
    std::size_t e = s.size();
    while (e > b && blank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

} // namespace

DeviceCommands::DeviceCommands(FrmTerminal& terminal, DeviceSync& sync)
    : t_(terminal), sync_(sync) {
    auto reg = [this](const char* name, void (DeviceCommands::*fn)()) {
        t_.registerMenu(name, [this, fn] { (this->*fn)(); });
    };
    reg("mnuCommandsFlow", &DeviceCommands::flow);
    reg("mnuCommandsSetPoint", &DeviceCommands::setPoint);
    t_.registerMenu("mnuCommandModeAnalog", [this] { inputMode(0); });
    t_.registerMenu("mnuCommandModeDigital", [this] { inputMode(1); });
    reg("mnuCommandsModeStatus", &DeviceCommands::inputModeStatus);
    t_.registerMenu("mnuCommandValveClose", [this] { valve(0); });
    t_.registerMenu("mnuCommandsValveAuto", [this] { valve(1); });
    t_.registerMenu("mnuCommandValveOpen", [this] { valve(2); });
    reg("mnuCommandValveStatus", &DeviceCommands::valveStatus);

    t_.registerMenu("mnuDeviceAutoZeroDisable", [this] { autoZero(false); });
    t_.registerMenu("mnuDeviceAutoZeroEnable", [this] { autoZero(true); });
    reg("mnuDeviceAutoZeroSave", &DeviceCommands::autoZeroSave);
    reg("mnuDeviceAutoZeroStatus", &DeviceCommands::autoZeroStatus);

    for (int index = 0; index < UnitTable::kUnitCount; ++index)
        t_.registerMenu(kUnitMenus[index], [this, index] { engineeringUnit(index); });
    reg("mnuOptionsGasTable", &DeviceCommands::gasTable);

    reg("mnuOptionsTotalRead", &DeviceCommands::totalizerRead);
    t_.registerMenu("mnuOptionsTotalStartNow", [this] { totalizerStart(false); });
    t_.registerMenu("mnuOptionsTotalStartFlow", [this] { totalizerStart(true); });
    reg("mnuOptionsTotalStopNow", &DeviceCommands::totalizerStopNow);
    reg("mnuOptionsTotalDisable", &DeviceCommands::totalizerDisable);
    reg("mnuOptionsTotalReset", &DeviceCommands::totalizerReset);

    reg("mnuOptionsAlarmStatus", &DeviceCommands::alarmStatus);
    reg("mnuOptionsAlarmEnable", &DeviceCommands::alarmEnable);
    reg("mnuOptionsAlarmDisable", &DeviceCommands::alarmDisable);

    t_.registerMenu("mnuOptionKFactorDisable", [this] { kFactor(0); });
    t_.registerMenu("mnuOptionsKFactorEnableI", [this] { kFactor(1); });
    t_.registerMenu("mnuOptionsKFactorEnableU", [this] { kFactor(2); });

    reg("mnuOptionsTimerRead", &DeviceCommands::timerRead);
    reg("mnuOptionsTimerReset", &DeviceCommands::timerReset);
}

int DeviceCommands::device() const {
    int slot = t_.currentDevice();
    return t_.table.holdsDevice(slot) ? slot : 0;
}

bool DeviceCommands::confirm(const std::string& first, const std::string& second) {
    auto answer = t_.op().message({first + "\r" + second, kSystemMonitor, platform::Buttons::YesNo,
                                   platform::Icon::Exclamation, 1});
    return answer == platform::Answer::Yes;
}

void DeviceCommands::tellNotANumber(const std::string& typed) {
    t_.op().message({"\"" + typed + "\" is not a number.", kSystemMonitor, platform::Buttons::Ok,
                     platform::Icon::Information, 0});
}

// ---- Commands menu ----------------------------------------------------------------------------

void DeviceCommands::flow() {
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, cmd::ReadFlow);
    if (!reply)
        return;
    if (!reply->empty())
        t_.table.status(slot).Flow = link::leadingNumber(*reply);
    t_.finishExchange();
}

void DeviceCommands::setPoint() {
    int slot = device();
    if (!slot)
        return;
    if (!t_.ports().openIfClosed())
        return;
    t_.stopMonitoring();
    std::string unitName(UnitTable::name(t_.table.record(slot).EngUnit));
    std::string typed =
        t_.op().input("Enter New Value of Set Point in " + unitName, "Transmit Set Point", "");
    t_.entryText = typedValue(typed);
    if (t_.entryText.empty()) {
        t_.restartMonitoring();
        return;
    }
    if (!link::isNumber(t_.entryText)) {
        tellNotANumber(typed);
        t_.restartMonitoring();
        return;
    }
    // setup.dat must be able to hold it and read it back.
    if (!link::storable(link::leadingNumber(t_.entryText))) {
        t_.op().message({"\"" + typed + "\" is out of range.", kSystemMonitor,
                         platform::Buttons::Ok, platform::Icon::Information, 0});
        t_.restartMonitoring();
        return;
    }
    const Steps send{.openPort = false,
                     .stopMonitoring = false,
                     .wait = Wait::None,
                     .showReply = true,
                     .waitReply = true};
    std::string value = t_.entryText;
    auto reply = t_.exchange(slot, cmd::setPoint(value), send);
    if (!reply)
        return;
    if (link::matchesLeading(*reply, token::SetPoint))
        t_.setField(t_.table.record(slot).SetPoint, link::leadingNumber(value));
    t_.finishExchange();
}

void DeviceCommands::inputMode(int mode) {
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, mode == 1 ? cmd::InputDigital : cmd::InputAnalog);
    if (!reply)
        return;
    if (link::matchesExact(*reply, mode == 1 ? token::InputDigital : token::InputAnalog)) {
        t_.setField(t_.table.record(slot).InputMode, mode);
        t_.setInfo("lblMode", DeviceSync::inputModeText(mode));
    }
    t_.finishExchange();
}

void DeviceCommands::inputModeStatus() {
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, cmd::InputModeStatus);
    if (!reply)
        return;
    if (!reply->empty()) {
        // Only "MD" means digital; any other answer is taken as analog.
        int mode = link::matchesExact(*reply, token::InputDigital) ? 1 : 0;
        t_.setField(t_.table.record(slot).InputMode, mode);
        t_.setInfo("lblMode", DeviceSync::inputModeText(mode));
    }
    t_.finishExchange();
}

void DeviceCommands::valve(int position, bool selector) {
    static constexpr std::string_view kBodies[] = {cmd::ValveClosed, cmd::ValveAuto,
                                                   cmd::ValveOpen};
    static constexpr std::string_view kSelectorBodies[] = {
        cmd::ValveClosedUpper, cmd::ValveAutoUpper, cmd::ValveOpenUpper};
    static constexpr std::string_view kTokens[] = {token::ValveClosed, token::ValveAuto,
                                                   token::ValveOpen};
    if (position < 0 || position > 2)
        return;
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, selector ? kSelectorBodies[position] : kBodies[position]);
    if (reply) {
        if (link::matchesExact(*reply, kTokens[position])) {
            t_.setField(t_.table.record(slot).ValveMode, position);
            t_.setInfo("lblValveMode", DeviceSync::valveModeText(position));
        }
        t_.finishExchange();
    }
    // Also when the port would not open: the selector goes back to what the device has.
    t_.showValveMode(t_.table.record(slot).ValveMode);
}

void DeviceCommands::valveStatus() {
    int slot = device();
    if (!slot)
        return;
    if (!t_.ports().openIfClosed())
        return;
    sync_.queryValveMode(slot);
    t_.showValveMode(t_.table.record(slot).ValveMode);
}

// ---- Device menu: auto zero -------------------------------------------------------------------

void DeviceCommands::autoZero(bool enable) {
    int slot = device();
    if (!slot)
        return;
    // Sent at once, the sampling timer left running.
    const Steps steps{.openPort = true,
                      .stopMonitoring = false,
                      .wait = Wait::None,
                      .showReply = true,
                      .waitReply = true};
    auto reply = t_.exchange(slot, enable ? cmd::AutoZeroEnable : cmd::AutoZeroDisable, steps);
    if (!reply)
        return;
    if (link::matchesExact(*reply, enable ? token::AutoZeroEnabled : token::AutoZeroDisabled)) {
        int state = enable ? 1 : 0;
        t_.table.status(slot).AutoZeroState = static_cast<std::int16_t>(state);
        t_.setInfo("lblAutoZero", DeviceSync::autoZeroText(state));
    }
    t_.finishExchange(false);
}

void DeviceCommands::autoZeroSave() {
    int slot = device();
    if (!slot)
        return;
    (void)t_.exchange(slot, cmd::AutoZeroStore,
                      Steps{.openPort = true,
                            .stopMonitoring = false,
                            .wait = Wait::None,
                            .showReply = false,
                            .waitReply = false});
}

void DeviceCommands::autoZeroStatus() {
    int slot = device();
    if (!slot)
        return;
    (void)t_.exchange(slot, cmd::AutoZeroStatus,
                      Steps{.openPort = true,
                            .stopMonitoring = false,
                            .wait = Wait::None,
                            .showReply = true,
                            .waitReply = false});
}

// ---- Options menu -----------------------------------------------------------------------------

void DeviceCommands::engineeringUnit(int index) {
    if (index < 0 || index >= UnitTable::kUnitCount)
        return;
    int slot = device();
    if (!slot)
        return;
    std::string body, expected;
    if (index == UnitTable::kUserUnit) {
        body = cmd::userUnit(link::formatNumber(t_.table.record(slot).UserEuFactor));
        expected = token::UserUnit;
    } else {
        body = cmd::unit(unitWord(index));
        expected = token::unit(unitWord(index));
    }
    auto reply = t_.exchange(slot, body);
    if (!reply)
        return;
    if (link::matchesExact(*reply, expected)) {
        auto& rec = t_.table.record(slot);
        t_.setField(rec.EngUnit, index);
        std::string name(UnitTable::name(index));
        t_.model.lblEU.caption = name;
        t_.setInfo("lblEngUnit", name);
        t_.setInfo("lblTotStop", link::formatNumber(rec.TotalizerStopTotal) +
                                     std::string(UnitTable::suffix(index)));
        if (t_.engine().autoSingleMonitoring)
            t_.setPointRefresh = true;
    }
    t_.finishExchange();
}

void DeviceCommands::gasTable() {
    int slot = device();
    if (!slot)
        return;
    if (!t_.ports().openIfClosed())
        return;
    if (t_.engine().autoSingleMonitoring) {
        t_.stopMonitoring();
        if (!t_.engine().waitTransactionDone())
            return;
    }
    std::string typed =
        t_.op().input("Enter number of the Gas Table [1-10]:", "Gas Table Selection", "");
    t_.entryText = typedValue(typed);
    if (t_.entryText.empty()) {
        t_.restartMonitoring();
        return;
    }
    // A table number is a whole number; "2.5" or "1e9" cannot name one.
    double n = link::operatorNumber(t_.entryText) - 1;
    if (!link::isNumber(t_.entryText) || n != std::floor(n) || n < -32768 || n > 32767) {
        tellNotANumber(typed);
        t_.restartMonitoring();
        return;
    }
    int index = static_cast<int>(n);
    const Steps send{.openPort = false,
                     .stopMonitoring = false,
                     .wait = Wait::None,
                     .showReply = true,
                     .waitReply = true};
    auto reply = t_.exchange(slot, cmd::gasTable(index), send);
    if (!reply)
        return;
    if (link::matchesExact(*reply, token::gasTable(index))) {
        t_.setField(t_.table.record(slot).GasTable, index);
        auto name =
            t_.exchange(slot, t_.rs232() ? cmd::ReadGasNameLower : cmd::ReadGasNameUpper, send);
        if (!name)
            return;
        t_.setInfo("lblGas", t_.entryText + "   " + *name);
    }
    t_.finishExchange();
}

void DeviceCommands::totalizerRead() {
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, cmd::ReadTotalizer);
    if (!reply)
        return;
    if (!reply->empty())
        t_.table.status(slot).Total = link::leadingNumber(*reply);
    t_.finishExchange();
}

void DeviceCommands::totalizerStart(bool atFlow) {
    int slot = device();
    if (!slot)
        return;
    std::string body =
        atFlow
            ? cmd::totalizerStartFlow(link::formatNumber(t_.table.record(slot).TotalizerStartFlow))
            : std::string(cmd::TotalizerStartNow);
    auto reply = t_.exchange(slot, body);
    if (!reply)
        return;
    bool accepted = atFlow ? link::matchesLeading(*reply, token::TotalizerStart)
                           : link::matchesExact(*reply, token::TotalizerStartNow);
    if (accepted) {
        t_.setField(t_.table.record(slot).TotalizerEnabled, 1);
        t_.setInfo("lblTotalizerMode", "Enabled");
        t_.finishExchange(false);
    }
    // The stop condition goes out whatever the answer was; its reply is only shown.
    const auto& rec = t_.table.record(slot);
    if (rec.TotalizerStopTotal > 0) {
        const Steps stop{.openPort = false,
                         .stopMonitoring = false,
                         .wait = atFlow ? Wait::ForDone : Wait::None,
                         .showReply = true,
                         .waitReply = false};
        auto sent = t_.exchange(slot,
                                cmd::totalizerStopTotal(link::formatNumber(rec.TotalizerStopTotal),
                                                        rec.TotalizerAction),
                                stop);
        if (!sent)
            return;
    }
    t_.restartMonitoring();
}

void DeviceCommands::totalizerStopNow() {
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, cmd::TotalizerStopNowFirst);
    if (!reply)
        return;
    if (link::matchesLeading(*reply, token::TotalizerStart)) {
        const Steps second{.openPort = false,
                           .stopMonitoring = false,
                           .wait = Wait::ForDone,
                           .showReply = true,
                           .waitReply = true};
        auto reply2 = t_.exchange(slot, cmd::TotalizerNeverStop, second);
        if (!reply2)
            return;
        if (link::matchesExact(*reply2, token::TotalizerNeverStop)) {
            t_.setField(t_.table.record(slot).TotalizerEnabled, 0);
            t_.setInfo("lblTotalizerMode", "Disabled");
        }
    }
    t_.finishExchange();
}

void DeviceCommands::totalizerDisable() {
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, cmd::TotalizerOff);
    if (!reply)
        return;
    if (link::matchesExact(*reply, token::TotalizerOff)) {
        t_.setField(t_.table.record(slot).TotalizerEnabled, 0);
        t_.setInfo("lblTotalizerMode", "Disabled");
    }
    t_.finishExchange();
}

void DeviceCommands::totalizerReset() {
    int slot = device();
    if (!slot)
        return;
    if (!confirm("WARNING: This will Reset Totalizer to Zero!",
                 "    Do you want to Rset Totalizer?    "))
        return;
    auto reply = t_.exchange(slot, cmd::TotalizerReset);
    if (!reply)
        return;
    if (link::matchesExact(*reply, token::TotalizerReset))
        t_.table.status(slot).Total = 0.0;
    t_.finishExchange();
}

void DeviceCommands::alarmStatus() {
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, cmd::AlarmStatus);
    if (!reply)
        return;
    auto& st = t_.table.status(slot);
    if (link::matchesExact(*reply, token::AlarmNone))
        st.AlarmState = 0;
    else if (link::matchesExact(*reply, token::AlarmHighState))
        st.AlarmState = 1;
    else if (link::matchesExact(*reply, token::AlarmLowState))
        st.AlarmState = 2;
    t_.finishExchange();
}

void DeviceCommands::alarmEnable() {
    int slot = device();
    if (!slot)
        return;
    auto reply =
        t_.exchange(slot, cmd::alarmHigh(link::formatNumber(t_.table.record(slot).AlarmHigh)));
    if (!reply)
        return;
    if (link::matchesLeading(*reply, token::AlarmHigh)) {
        const Steps second{.openPort = false,
                           .stopMonitoring = false,
                           .wait = Wait::ForDone,
                           .showReply = true,
                           .waitReply = true};
        auto reply2 = t_.exchange(
            slot, cmd::alarmLow(link::formatNumber(t_.table.record(slot).AlarmLow)), second);
        if (!reply2)
            return;
        if (link::matchesLeading(*reply2, token::AlarmLow)) {
            t_.setField(t_.table.record(slot).AlarmEnabled, 1);
            t_.setInfo("lblAlarmMode", "Enabled");
        }
    }
    t_.finishExchange();
}

void DeviceCommands::alarmDisable() {
    int slot = device();
    if (!slot)
        return;
    auto reply = t_.exchange(slot, cmd::AlarmOff);
    if (!reply)
        return;
    if (link::matchesExact(*reply, token::AlarmOff)) {
        t_.setField(t_.table.record(slot).AlarmEnabled, 0);
        t_.setInfo("lblAlarmMode", "Disabled");
    }
    t_.finishExchange();
}

void DeviceCommands::kFactor(int source) {
    int slot = device();
    if (!slot)
        return;
    const auto& rec = t_.table.record(slot);
    std::string body;
    switch (source) {
    case 1:
        body = cmd::kFactorIndex(std::to_string(rec.KFactorIndex));
        break;
    case 2:
        body = cmd::kFactorUser(link::formatNumber(rec.UserKFactor));
        break;
    default:
        body = cmd::KFactorOff;
        break;
    }
    auto reply = t_.exchange(slot, body);
    if (!reply)
        return;
    // The K-factor entries change no stored field; only the panel follows the device.
    if (source == 1 && link::matchesLeading(*reply, token::KFactorIndex))
        t_.setInfo("lblKfactor", *reply);
    else if (source == 2 && link::matchesLeading(*reply, token::KFactorUser))
        t_.setInfo("lblKfactor", *reply);
    else if (source == 0 && link::matchesExact(*reply, token::KFactorOff))
        t_.setInfo("lblKfactor", "Disabled (K=1)");
    t_.finishExchange();
}

void DeviceCommands::timerRead() {
    int slot = device();
    if (!slot)
        return;
    if (t_.exchange(slot, cmd::ReadMaintenanceTimer))
        t_.finishExchange();
}

void DeviceCommands::timerReset() {
    int slot = device();
    if (!slot)
        return;
    if (!confirm("WARNING: This will Reset Maintenance Timer to Zero!",
                 "    Do you want to Reset Maintenance Timer?    "))
        return;
    if (t_.exchange(slot, cmd::MaintenanceReset))
        t_.finishExchange();
}

} // namespace kvt::monitor
