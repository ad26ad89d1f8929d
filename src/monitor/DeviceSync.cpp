#include "monitor/DeviceSync.h"

#include "link/CommandLine.h"
#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "monitor/FrmTerminal.h"
#include "monitor/UnitTable.h"

#include <optional>
#include <string_view>
#include <vector>

namespace kvt::monitor {

namespace cmd = link::cmd;
namespace token = link::token;
using Steps = FrmTerminal::Steps;
using Wait = FrmTerminal::Wait;

namespace {

constexpr const char* kNotAccessible = "Device is not accessible. Transmission is terminated!\r"
                                       " Make sure device is connected to the system!";

// Command letters of the relay action codes 0..4.
constexpr char kRelayLetters[] = {'n', 't', 'h', 'l', 'r'};

char relayLetter(int code) {
    return code >= 0 && code <= 4 ? kRelayLetters[code] : 'n';
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A status query: no port opening, no waiting first, the reply not shown in the status panel.
constexpr Steps kQuery{.openPort = false,
                       .stopMonitoring = false,
                       .wait = Wait::None,
                       .showReply = false,
                       .waitReply = true};
// The valve and relay queries wait for the previous transaction; the caller stops monitoring.
constexpr Steps kQueryAfterDone{.openPort = false,
                                .stopMonitoring = false,
                                .wait = Wait::ForDone,
                                .showReply = false,
                                .waitReply = true};
// A download step: the port is already open and monitoring stopped. Waiting while a reply is
// still awaited keeps a command that re-entered during our wait from losing its answer. A
// time-out raises no box of its own: one is tolerated, and the second ends the download with its
// own message.
constexpr Steps kDownloadStep{.openPort = false,
                              .stopMonitoring = false,
                              .wait = Wait::WhileAwaiting,
                              .showReply = true,
                              .waitReply = true,
                              .reportNoReply = false};

} // namespace

DeviceSync::DeviceSync(FrmTerminal& terminal) : t_(terminal) {
    auto transmit = [this] { download(t_.currentDevice()); };
    t_.registerMenu("mnuDeviceSinhronizeTr", transmit);
    t_.registerToolbar("DialPhoneNumber", transmit);
    auto receive = [this] {
        if (!t_.ports().openIfClosed())
            return;
        statusReadout(t_.currentDevice());
    };
    t_.registerMenu("mnuDeviceSinhronizeRx", receive);
    t_.registerToolbar("HangUpPhone", receive);

    for (int relay = 1; relay <= 2; ++relay) {
        std::string menu = "mnuOptionsRelay" + std::to_string(relay);
        t_.registerMenu(menu + "Status", [this, relay] {
            if (!t_.ports().openIfClosed())
                return;
            queryRelay(t_.currentDevice(), relay);
        });
        const char* entries[] = {"NA", "Total", "AH", "AL", "AR"};
        for (int code = 0; code <= 4; ++code)
            t_.registerMenu(menu + entries[code],
                            [this, relay, code] { assignRelay(relay, code); });
    }
}

std::string DeviceSync::relayText(int code) {
    switch (code) {
    case 0:
        return "No Action";
    case 1:
        return "Totalizer > limit";
    case 2:
        return "High Flow Alarm";
    case 3:
        return "Low Flow Alarm";
    case 4:
        return "Range between H & L";
    default:
        return {};
    }
}

std::string DeviceSync::inputModeText(int inputMode) {
    return inputMode == 1 ? "Digital" : "Analog";
}

std::string DeviceSync::valveModeText(int valveMode) {
    switch (valveMode) {
    case 1:
        return "Auto";
    case 2:
        return "Open (Purge)";
    default:
        return "Close";
    }
}

std::string DeviceSync::autoZeroText(int autoZeroState) {
    switch (autoZeroState) {
    case 0:
        return "Disabled";
    case 1:
        return "Enabled";
    case -1:
        return "Zero In Progress";
    default:
        return {};
    }
}

// ---- single-value queries ---------------------------------------------------------------------

void DeviceSync::queryFullScale(int slot) {
    auto reply = t_.exchange(slot, cmd::ReadFullScale, kQuery);
    if (!reply || reply->empty())
        return;
    t_.table.status(slot).FullScale = link::leadingNumber(*reply);
    int cur = t_.currentDevice();
    if (!t_.table.holdsDevice(cur))
        return;
    std::string fullScale = link::formatNumber(t_.table.status(cur).FullScale);
    t_.setInfo("lblFullScale", fullScale + "  SLPM");
    t_.model.sbrStatus1["FSF"].text = "FSF: " + fullScale;
    t_.model.changed();
}

void DeviceSync::queryInputMode(int slot) {
    auto reply = t_.exchange(slot, cmd::InputModeStatus, kQuery);
    if (!reply)
        return;
    int mode = 0;
    if (link::matchesExact(*reply, token::InputAnalog))
        mode = 0;
    else if (link::matchesExact(*reply, token::InputDigital))
        mode = 1;
    else
        return;
    t_.setField(t_.table.record(slot).InputMode, mode);
    t_.setInfo("lblMode", inputModeText(mode));
}

void DeviceSync::queryValveMode(int slot) {
    valveQuery(slot, true);
}

void DeviceSync::valveQuery(int slot, bool restartMonitoring) {
    t_.stopMonitoring();
    auto reply = t_.exchange(slot, cmd::ValveModeStatus, kQueryAfterDone);
    if (reply && !reply->empty()) {
        // Anything but auto or open means the valve is closed.
        int mode = 0;
        if (link::matchesExact(*reply, token::ValveAuto))
            mode = 1;
        else if (link::matchesExact(*reply, token::ValveOpen))
            mode = 2;
        t_.setField(t_.table.record(slot).ValveMode, mode);
        t_.setInfo("lblValveMode", valveModeText(mode));
    }
    if (restartMonitoring)
        t_.finishExchange();
}

void DeviceSync::queryRelay(int slot, int relay) {
    relayQuery(slot, relay, true);
}

void DeviceSync::relayQuery(int slot, int relay, bool restartMonitoring) {
    if (relay != 1 && relay != 2)
        return;
    t_.stopMonitoring();
    auto reply = t_.exchange(slot, cmd::relayStatus(relay), kQueryAfterDone);
    if (reply) {
        for (int code = 0; code <= 4; ++code) {
            if (!link::matchesExact(*reply, token::relay(kRelayLetters[code])))
                continue;
            auto& rec = t_.table.record(slot);
            t_.setField(relay == 1 ? rec.Relay1Action : rec.Relay2Action, code);
            t_.setInfo(relay == 1 ? "lblRelay1" : "lblRelay2", relayText(code));
            break;
        }
    }
    if (restartMonitoring)
        t_.finishExchange();
}

void DeviceSync::queryAutoZero(int slot) {
    auto reply = t_.exchange(slot, cmd::AutoZeroStatus, kQuery);
    if (!reply)
        return;
    int state = 0;
    if (link::matchesExact(*reply, token::AutoZeroDisabled))
        state = 0;
    else if (link::matchesExact(*reply, token::AutoZeroEnabled))
        state = 1;
    else if (link::matchesExact(*reply, token::AutoZeroInProgress))
        state = -1;
    else
        return;
    t_.table.status(slot).AutoZeroState = static_cast<std::int16_t>(state);
    t_.setInfo("lblAutoZero", autoZeroText(state));
}

void DeviceSync::queryAlarm(int slot) {
    auto reply = t_.exchange(slot, cmd::AlarmStatus, kQuery);
    if (!reply)
        return;
    auto& st = t_.table.status(slot);
    if (link::matchesExact(*reply, token::AlarmNone))
        st.AlarmState = 0;
    else if (link::matchesExact(*reply, token::AlarmHighState))
        st.AlarmState = 1;
    else if (link::matchesExact(*reply, token::AlarmLowState))
        st.AlarmState = 2;
}

void DeviceSync::queryTotalizer(int slot) {
    auto reply = t_.exchange(slot, cmd::ReadTotalizer, kQuery);
    if (!reply || reply->empty())
        return;
    t_.table.status(slot).Total = link::leadingNumber(*reply);
}

// ---- status readout ---------------------------------------------------------------------------

void DeviceSync::reportNotAccessible() {
    t_.op().message(
        {kNotAccessible, kSystemMonitor, platform::Buttons::Ok, platform::Icon::Information, 0});
}

void DeviceSync::statusReadout(int slot) {
    if (!t_.table.holdsDevice(slot))
        return;
    t_.stopMonitoring();
    const Steps flowRead{.openPort = false,
                         .stopMonitoring = false,
                         .wait = Wait::WhileAwaiting,
                         .showReply = false,
                         .waitReply = true};
    auto reply = t_.exchange(slot, cmd::ReadFlow, flowRead);
    if (!reply)
        return;
    if (reply->empty()) {
        reply = t_.exchange(slot, cmd::ReadFlow, flowRead);
        if (!reply)
            return;
        if (reply->empty()) {
            // Monitoring stays stopped: the device is not there.
            reportNotAccessible();
            return;
        }
    }
    t_.table.status(slot).Flow = link::leadingNumber(*reply);
    t_.advanceProgress();

    // Monitoring stays stopped through the whole sequence, not just around each query.
    queryFullScale(slot);
    t_.advanceProgress();
    queryInputMode(slot);
    t_.advanceProgress();
    valveQuery(slot, false);
    t_.advanceProgress();
    relayQuery(slot, 1, false);
    t_.advanceProgress();
    relayQuery(slot, 2, false);
    t_.advanceProgress();
    queryAutoZero(slot);
    t_.advanceProgress();
    queryAlarm(slot);
    t_.advanceProgress();
    queryTotalizer(slot);
    t_.advanceProgress();
    // What the device said replaces the stored settings, so the next download sends it back.
    t_.finishExchange();
}

// ---- settings download ------------------------------------------------------------------------

void DeviceSync::showGas(int gasTable, const std::string& name) {
    std::string text = std::to_string(gasTable + 1);
    if (!name.empty())
        text += "   " + name;
    t_.setInfo("lblGas", text);
}

void DeviceSync::download(int slot) {
    if (!t_.table.holdsDevice(slot))
        return;
    t_.deviceNotAccessible = 0;
    if (!t_.ports().openIfClosed())
        return;
    t_.stopMonitoring();
    // A snapshot: what goes out is one consistent record even if the table changes while we wait.
    const config::DeviceRecord rec = t_.table.record(slot);

    int failures = 0;
    auto failed = [&] {
        // A port lost meanwhile has been reported already; the device is out of reach all the same.
        const bool lost = !t_.port().portOpen();
        if (failures < 2 && !lost)
            return false;
        if (!lost)
            reportNotAccessible();
        t_.deviceNotAccessible = 1;
        t_.restartMonitoring();
        return true;
    };

    // Gas table, with one retry; the name follows every accepted gas command.
    const std::string gasBody = cmd::gasTable(rec.GasTable);
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto reply = t_.exchange(slot, gasBody, kDownloadStep);
        if (!reply)
            return;
        if (link::matchesLeading(*reply, token::GasDownload)) {
            failures = 0;
            auto name = t_.exchange(slot, cmd::ReadGasNameUpper, kDownloadStep);
            if (!name)
                return;
            showGas(rec.GasTable, *name);
            break;
        }
        ++failures;
        if (reply->empty() && attempt == 0)
            showGas(rec.GasTable, "");
    }
    t_.advanceProgress();
    if (failed())
        return;

    struct Step {
        std::string body;
        std::string_view expected;
        bool kFactor = false;
    };
    std::vector<Step> steps;
    steps.push_back({cmd::unit(UnitTable::token(rec.EngUnit)), token::UnitDownload});
    steps.push_back({rec.ValveMode == 1   ? std::string(cmd::ValveAutoUpper)
                     : rec.ValveMode == 2 ? std::string(cmd::ValveOpenUpper)
                                          : std::string(cmd::ValveClosedUpper),
                     token::ValveDownload});
    steps.push_back({cmd::inputModeDownload(rec.InputMode == 1), token::InputDownload});
    if (rec.TotalizerEnabled == 1) {
        steps.push_back({cmd::totalizerStartFlow(link::formatNumber(rec.TotalizerStartFlow)),
                         token::TotalizerStart});
        if (rec.TotalizerStopTotal >= 0)
            steps.push_back({cmd::totalizerStopTotal(link::formatNumber(rec.TotalizerStopTotal),
                                                     rec.TotalizerAction),
                             token::TotalizerStopTotal});
    }
    if (rec.AlarmEnabled == 1) {
        steps.push_back({cmd::alarmHigh(link::formatNumber(rec.AlarmHigh)), token::AlarmHigh});
        steps.push_back({cmd::alarmLow(link::formatNumber(rec.AlarmLow)), token::AlarmLow});
    }
    steps.push_back(
        {cmd::relayAssign(1, upper(relayLetter(rec.Relay1Action))), token::RelayDownload});
    steps.push_back(
        {cmd::relayAssign(2, upper(relayLetter(rec.Relay2Action))), token::RelayDownload});
    std::string kBody = rec.KFactorSource == 1 ? cmd::kFactorIndex(std::to_string(rec.KFactorIndex))
                        : rec.KFactorSource == 2
                            ? cmd::kFactorUser(link::formatNumber(rec.UserKFactor))
                            : std::string(cmd::KFactorOff);
    steps.push_back({kBody, token::KFactorDownload, true});

    for (const auto& step : steps) {
        auto reply = t_.exchange(slot, step.body, kDownloadStep);
        if (!reply)
            return;
        if (!link::matchesLeading(*reply, step.expected))
            ++failures;
        else if (step.kFactor && (link::matchesLeading(*reply, token::KFactorUser) ||
                                  link::matchesLeading(*reply, token::KFactorIndex)))
            t_.setInfo("lblKfactor", *reply);
        t_.advanceProgress();
        if (failed())
            return;
    }

    queryFullScale(slot);
    queryAutoZero(slot);
    t_.advanceProgress();
    t_.restartMonitoring();
}

// ---- relay assignment ---------------------------------------------------------------------------

void DeviceSync::assignRelay(int relay, int code) {
    if ((relay != 1 && relay != 2) || code < 0 || code > 4)
        return;
    int slot = t_.currentDevice();
    if (!t_.table.holdsDevice(slot))
        return;
    char letter = kRelayLetters[code];
    auto reply = t_.exchange(slot, cmd::relayAssign(relay, letter));
    if (!reply)
        return;
    if (link::matchesExact(*reply, token::relay(letter))) {
        auto& rec = t_.table.record(slot);
        t_.setField(relay == 1 ? rec.Relay1Action : rec.Relay2Action, code);
        t_.setInfo(relay == 1 ? "lblRelay1" : "lblRelay2", relayText(code));
    }
    t_.finishExchange();
}

// ---- information frame --------------------------------------------------------------------------

void DeviceSync::FillDeviceInfo() {
    int slot = t_.currentDevice();
    if (!t_.table.holdsDevice(slot))
        return;
    const config::DeviceRecord rec = t_.table.record(slot);
    const config::DeviceStatus st = t_.table.status(slot);
    auto number = [](double v) { return link::formatNumber(v); };

    t_.setInfo("lblDescrp", rec.Name);
    t_.setInfo("lblAddr", rec.Address);
    t_.setInfo("lblEngUnit", std::string(UnitTable::name(rec.EngUnit)));
    t_.setInfo("lblFullScale", number(st.FullScale) + "  SLPM");
    t_.setInfo("lblMode", inputModeText(rec.InputMode));
    t_.setInfo("lblValveMode", valveModeText(rec.ValveMode));
    t_.setInfo("lblAutoZero", autoZeroText(st.AutoZeroState));
    t_.setInfo("lblTotalizerMode", rec.TotalizerEnabled == 1 ? "Enabled" : "Disabled");
    t_.setInfo("lblTotStart", number(rec.TotalizerStartFlow));
    t_.setInfo("lblTotStop",
               number(rec.TotalizerStopTotal) + std::string(UnitTable::suffix(rec.EngUnit)));
    t_.setInfo("lblAlarmMode", rec.AlarmEnabled == 1 ? "Enabled" : "Disabled");
    t_.setInfo("lblAlarmHigh", number(rec.AlarmHigh));
    t_.setInfo("lblAlarmLow", number(rec.AlarmLow));
    t_.setInfo("lblAlarmUpdate", std::to_string(rec.AlarmUpdateRate) + " Sec.");
    t_.setInfo("lblRelay1", relayText(rec.Relay1Action));
    t_.setInfo("lblRelay2", relayText(rec.Relay2Action));
    // The internal K-factor index has no text of its own: the label keeps what the device said.
    if (rec.KFactorSource == 0)
        t_.setInfo("lblKfactor", "Disabled (K=1)");
    else if (rec.KFactorSource == 2)
        t_.setInfo("lblKfactor", number(rec.UserKFactor));
    t_.setInfo("lblCommStatus", rec.CommEnabled == 1 ? " Enabled" : " Disabled");

    // The gas label last: it is the only one that needs the device, and a port that will not open
    // must not leave the other labels showing the previous device.
    if (rec.CommEnabled != 1)
        return;
    if (t_.deviceNotAccessible != 0) {
        showGas(rec.GasTable, "");
        return;
    }
    if (!t_.ports().openIfClosed())
        return;
    const Steps nameRead{.openPort = false,
                         .stopMonitoring = false,
                         .wait = Wait::WhileAwaiting,
                         .showReply = true,
                         .waitReply = true};
    auto name =
        t_.exchange(slot, t_.rs232() ? cmd::ReadGasNameLower : cmd::ReadGasNameUpper, nameRead);
    if (!name)
        return;
    showGas(rec.GasTable, *name);
}

} // namespace kvt::monitor
