#include "monitor/SingleUnitMonitor.h"

#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "monitor/DataLogs.h"
#include "monitor/DeviceCommands.h"
#include "monitor/FrmTerminal.h"
#include "monitor/SetPointEntry.h"
#include "monitor/TrendModel.h"
#include "monitor/UnitTable.h"

#include <cmath>

namespace kvt::monitor {

namespace cmd = link::cmd;
using Steps = FrmTerminal::Steps;

namespace {

// A cycle's exchange: the port is already open and the cycle handles Timer4 itself.
constexpr Steps kCycleStep{.openPort = false, .stopMonitoring = false, .showReply = true};

// What another exchange or procedure could start while the mode runs.
const std::vector<std::string> kModeMenus = {
    "mnuAutoM",       "mnuFile",     "mnuPort",  "mnuCommProg", "mnuView",
    "mnuDProperties", "mnuTerminal", "mnuQuery", "mnuTools",    "mnuDeviceAutoZero"};
const std::vector<std::string> kModeButtons = {"OpenLogFile", "ALogO",      "DialPhoneNumber",
                                               "HangUpPhone", "Properties", "TransmitTextFile",
                                               "StartAM"};

std::string setPointText(double v) {
    return link::formatPattern(v, "#####0.000");
}

} // namespace

SingleUnitMonitor::SingleUnitMonitor(FrmTerminal& terminal) : t_(terminal) {
    t_.registerMenu("mnuAutoS", [this] { toggle(); });
    t_.registerToolbar("StartAS", [this] { toggle(); });
    t_.Timer4().setOnTick([this] { Timer4_Timer(); });
}

bool SingleUnitMonitor::running() const {
    return t_.engine().autoSingleMonitoring;
}

void SingleUnitMonitor::setControlsEnabled(bool enabled) {
    t_.enableForMode(kModeMenus, kModeButtons, enabled);
}

void SingleUnitMonitor::toggle() {
    auto& eng = t_.engine();
    auto& m = t_.model;
    int slot = t_.currentDevice();
    bool starting = !eng.autoSingleMonitoring;
    if (starting && (!t_.table.holdsDevice(slot) || t_.table.record(slot).CommEnabled == 0)) {
        t_.tellDisabledForCommunication();
        return;
    }
    if (starting) {
        // A port that will not open leaves the mode off.
        if (!t_.ports().openIfClosed())
            return;
        eng.autoSingleMonitoring = true;
        silentReported_ = false;
    } else {
        eng.autoSingleMonitoring = false;
        t_.Timer4().stop();
        m.fraSD.visible = false;
        t_.closePortAfterASecond();
    }
    m.menu("mnuAutoS").checked = eng.autoSingleMonitoring;
    setControlsEnabled(!eng.autoSingleMonitoring);
    layoutAlarm();
    limitBeep_ = false;
    layoutTotalizer();

    if (!eng.autoSingleMonitoring) {
        if (t_.logs().alarmLogOpen())
            t_.logs().closeLog(LogSlot::Alarm);
        m.changed();
        return;
    }
    t_.Timer4().setInterval(link::kSamplingListMs[t_.settings.singleSamplingCode]);
    t_.Timer4().start();
    t_.Timer5().setInterval(link::kRecordingListMs[t_.settings.singleRecordingCode]);
    if (t_.logs().recorderOn())
        t_.Timer5().start();
    m.fraSD.visible = true;
    t_.setPointRefresh = false;
    showDevice();
    m.changed();
}

void SingleUnitMonitor::showDevice() {
    auto& m = t_.model;
    int slot = t_.currentDevice();
    auto& rec = t_.table.record(slot);
    auto& st = t_.table.status(slot);
    m.lblDNumber.caption = rec.Number;
    m.lblDName.caption = rec.Name;
    m.lblEU.caption = UnitTable::name(rec.EngUnit);
    m.txtSetP.caption = setPointText(rec.SetPoint);
    if (st.FullScale == 0)
        st.FullScale = 100;
    moveSlider(t_.units.positionFromSetPoint(rec, st, true));
}

void SingleUnitMonitor::layoutAlarm() {
    auto& m = t_.model;
    int slot = t_.currentDevice();
    int enabled = t_.table.holdsDevice(slot) ? t_.table.record(slot).AlarmEnabled : 0;
    if (enabled == 1) {
        m.Label6.caption = "Enl'd:";
        m.Label6.enabled = true;
        m.fraDSA.enabled = true;
    } else {
        m.Label6.caption = "Dis'd:";
        m.Label6.enabled = false;
        m.fraDSA.enabled = false;
        m.lblAH.caption.clear();
    }
    shownAlarm_ = enabled;
}

void SingleUnitMonitor::layoutTotalizer() {
    auto& m = t_.model;
    int slot = t_.currentDevice();
    int enabled = t_.table.holdsDevice(slot) ? t_.table.record(slot).TotalizerEnabled : 0;
    totalizerDeadline_ = t_.runtime().clock().monotonic() + 1.0;
    // A device that does not totalize has no totalizer controls to offer.
    m.fraTS.enabled = enabled == 1;
    m.lblTO.enabled = enabled == 1;
    shownTotalizer_ = enabled;
}

void SingleUnitMonitor::moveSlider(int position) {
    if (t_.model.hscSetP.value != position)
        hscSetP_Change(position);
}

void SingleUnitMonitor::hscSetP_Change(int position) {
    int slot = t_.currentDevice();
    if (!t_.table.holdsDevice(slot))
        return;
    moveSetPointSlider(t_.model.hscSetP, position, t_.units, t_.table.record(slot),
                       t_.table.status(slot));
    t_.model.changed();
}

void SingleUnitMonitor::txtSetP_Commit(const std::string& text) {
    int slot = t_.currentDevice();
    if (!t_.table.holdsDevice(slot) ||
        !commitTypedSetPoint(text, t_.model.hscSetP, t_.units, t_.table.record(slot),
                             t_.table.status(slot)))
        return;
    t_.model.txtSetP.caption = text;
    t_.model.changed();
}

bool SingleUnitMonitor::goesOn(int slot) const {
    return running() && t_.port().portOpen() && t_.currentDevice() == slot;
}

void SingleUnitMonitor::Timer4_Timer() {
    if (!running()) {
        t_.Timer4().stop();
        t_.model.fraSD.visible = false;
        t_.model.changed();
        return;
    }
    // Cycles never nest: a silent device costs one time-out per cycle, not a pile of them.
    if (cycleRunning_)
        return;
    cycleRunning_ = true;
    cycle(t_.currentDevice());
    cycleRunning_ = false;
}

std::optional<std::string> SingleUnitMonitor::ask(int slot, std::string_view body) {
    return t_.exchangeReportingOnce(slot, body, kCycleStep, silentReported_);
}

void SingleUnitMonitor::cycle(int slot) {
    if (!t_.table.holdsDevice(slot))
        return;
    auto& m = t_.model;
    auto& rec = t_.table.record(slot);
    auto& st = t_.table.status(slot);
    auto& clock = t_.runtime().clock();

    // 1: flow; Timer4 rests only while the command is on its way.
    t_.Timer4().stop();
    auto reading = ask(slot, cmd::ReadFlow);
    if (running())
        t_.Timer4().start();
    if (!reading || !goesOn(slot))
        return;
    m.lblRead.caption = *reading;
    if (!reading->empty())
        st.Flow = link::leadingNumber(*reading);
    t_.trend().record(rec, *reading);
    m.changed();

    // 2
    if (rec.AlarmEnabled == 1 && clock.monotonic() > alarmDeadline_)
        alarmDue_ = true;

    // 3: the unit changed; the slider keeps its place and the set point follows it.
    if (t_.setPointRefresh) {
        m.lblEU.caption = UnitTable::name(rec.EngUnit);
        if (st.FullScale == 0)
            st.FullScale = 100;
        rec.SetPoint = t_.units.setPointFromPosition(rec, st, m.hscSetP.value);
        m.txtSetP.caption = setPointText(rec.SetPoint);
        t_.engine().tableChanged = true;
        t_.saveTable();
        moveSlider(t_.units.positionFromSetPoint(rec, st, true));
        t_.setPointRefresh = false;
        m.changed();
    }

    // 4
    if (st.SetPointPending) {
        auto reply = ask(slot, cmd::setPoint(link::formatPattern(rec.SetPoint, "####0.000")));
        if (!reply || !goesOn(slot))
            return;
        if (!reply->empty() && (*reply)[0] == 'S') {
            st.SetPointPending = false;
            m.txtSetP.caption = reply->substr(1);
            t_.engine().tableChanged = true;
            t_.saveTable();
            m.changed();
        }
    }

    // 5, 6
    if (rec.AlarmEnabled != shownAlarm_)
        layoutAlarm();
    if (rec.AlarmEnabled == 1 && alarmDue_) {
        auto reply = ask(slot, cmd::AlarmStatus);
        if (!reply || !goesOn(slot))
            return;
        m.lblAH.caption = "  " + *reply;
        alarmDeadline_ = clock.monotonic() + std::max<int>(0, rec.AlarmUpdateRate);
        alarmDue_ = false;
        if ((*reply == "H" || *reply == "L") && t_.logs().alarmLogOpen())
            t_.logs().writeAlarm(DataLogs::alarmRecord(rec.Number, m.lblRead.caption, *reply,
                                                       clock.timeOfDay(), clock.date()));
        m.changed();
    }

    // 7
    if (rec.TotalizerEnabled != shownTotalizer_) {
        if (rec.TotalizerEnabled != 1) {
            m.lblTO.caption = link::formatPattern(st.Total, "######0.00");
        } else {
            limitBeep_ = false;
        }
        layoutTotalizer();
        m.changed();
    }

    // 8
    if (rec.TotalizerEnabled == 1 && clock.monotonic() > totalizerDeadline_) {
        auto reply = ask(slot, cmd::ReadTotalizer);
        if (!reply || !goesOn(slot))
            return;
        st.Total = link::leadingNumber(*reply);
        m.lblTO.caption = *reply + " " + std::string(UnitTable::suffix(rec.EngUnit));
        totalizerDeadline_ = clock.monotonic() + 1.0;
        if (rec.TotalizerStopTotal > 0) {
            bool reached = !(st.Total < rec.TotalizerStopTotal);
            m.lblTO.alert = reached;
            if (reached && !limitBeep_) {
                t_.op().beep();
                limitBeep_ = true;
            }
        }
        m.changed();
    }

    // 9
    auto& logs = t_.logs();
    if (logs.recorderOn() && logs.recordDue) {
        logs.writeAuto(DataLogs::singleUnitRecord(rec.Number, m.lblRead.caption));
        logs.recordDue = false;
    }
}

bool SingleUnitMonitor::deviceChanging(int slot) {
    t_.Timer4().stop();
    if (t_.table.holdsDevice(slot) && t_.table.record(slot).CommEnabled != 0)
        return true;
    t_.tellDisabledForCommunication();
    t_.Timer4().start();
    return false;
}

void SingleUnitMonitor::deviceChanged() {
    layoutAlarm();
    limitBeep_ = false;
    layoutTotalizer();
    showDevice();
    t_.Timer4().start();
    t_.model.changed();
}

void SingleUnitMonitor::cmdAContr_Click() {
    int slot = t_.currentDevice();
    if (!t_.table.holdsDevice(slot))
        return;
    if (t_.table.record(slot).AlarmEnabled != 0)
        t_.commands().alarmDisable();
    else
        t_.commands().alarmEnable();
}

void SingleUnitMonitor::cmdTcontr_Click() {
    int slot = t_.currentDevice();
    if (!t_.table.holdsDevice(slot))
        return;
    if (t_.table.record(slot).TotalizerEnabled != 0)
        t_.commands().totalizerStopNow();
    else
        t_.commands().totalizerStart(true);
}

void SingleUnitMonitor::cmdTReset_Click() {
    int slot = t_.currentDevice();
    if (!t_.table.holdsDevice(slot))
        return;
    t_.Timer4().stop();
    auto reply = t_.exchange(slot, cmd::TotalizerReset, Steps{.stopMonitoring = false});
    auto& st = t_.table.status(slot);
    if (reply && *reply == link::token::TotalizerReset)
        st.Total = 0;
    if (st.Total == 0) {
        auto& m = t_.model;
        m.lblTO.alert = false;
        m.lblTO.caption = link::formatPattern(st.Total, "######0.00") + " " +
                          std::string(UnitTable::suffix(t_.table.record(slot).EngUnit));
        limitBeep_ = false;
    }
    if (running())
        t_.Timer4().start();
    t_.model.changed();
}

} // namespace kvt::monitor
