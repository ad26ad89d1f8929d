#include "monitor/MultiUnitMonitor.h"

#include "link/CommandLine.h"
#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "monitor/DataLogs.h"
#include "monitor/FrmTerminal.h"
#include "monitor/SetPointEntry.h"
#include "monitor/TrendModel.h"
#include "monitor/UnitTable.h"

#include <algorithm>

namespace kvt::monitor {

namespace cmd = link::cmd;

namespace {

const std::vector<std::string> kModeMenus = {
    "mnuAutoS",          "mnuFile",         "mnuDeviceInfo",       "mnuDeviceSinhronize",
    "mnuDeviceAutoZero", "mnuCommandsFlow", "mnuCommandsSetPoint", "mnuCommandsMode",
    "mnuCommandsValve",  "mnuPort",         "mnuCommProg",         "mnuView",
    "mnuDProperties",    "mnuTerminal",     "mnuOptions",          "mnuQuery",
    "mnuTools"};
const std::vector<std::string> kModeButtons = {"StartAS",         "OpenLogFile", "ALogO",
                                               "DialPhoneNumber", "HangUpPhone", "Properties",
                                               "TransmitTextFile"};

constexpr const char* kNoReply = "No reply";

} // namespace

MultiUnitMonitor::MultiUnitMonitor(FrmTerminal& terminal) : t_(terminal) {
    t_.registerMenu("mnuAutoM", [this] { toggle(); });
    t_.registerToolbar("StartAM", [this] { toggle(); });
    t_.registerMenu("mnuVM4", [this] { chooseView(4); });
    t_.registerMenu("mnuVM8", [this] { chooseView(8); });
    t_.TimerM().setOnTick([this] { TimerM_Timer(); });
}

bool MultiUnitMonitor::running() const {
    return t_.engine().autoMultiMonitoring;
}

int MultiUnitMonitor::perPage() const {
    // Neither entry checked (started on RS-232, switched later): four a page.
    return t_.model.menu("mnuVM8").checked ? 8 : 4;
}

MultiPanel* MultiUnitMonitor::panel(int k) {
    auto& m = t_.model;
    if (k < 0 || k >= perPage())
        return nullptr;
    return perPage() == 8 ? &m.fraMD8[k] : &m.fraMD[k];
}

void MultiUnitMonitor::chooseView(int panels) {
    auto& m = t_.model;
    const char* chosen = panels == 8 ? "mnuVM8" : "mnuVM4";
    const char* other = panels == 8 ? "mnuVM4" : "mnuVM8";
    if (m.menu(chosen).checked)
        return;
    m.menu(chosen).checked = true;
    m.menu(other).checked = false;
    t_.viewSize = panels;
    m.changed();
}

void MultiUnitMonitor::setControlsEnabled(bool enabled) {
    t_.enableForMode(kModeMenus, kModeButtons, enabled);
    t_.model.fraCD.enabled = enabled;
}

void MultiUnitMonitor::toggle() {
    auto& eng = t_.engine();
    auto& m = t_.model;
    t_.TimerM().setInterval(link::kSamplingListMs[t_.settings.multiSamplingCode]);
    if (!eng.autoMultiMonitoring) {
        // A port that will not open leaves the mode off.
        if (!t_.ports().openIfClosed())
            return;
        eng.autoMultiMonitoring = true;
    } else {
        stop();
        t_.closePortAfterASecond();
        return;
    }
    ++run_;
    silent_.clear();
    m.menu("mnuAutoM").checked = true;
    setControlsEnabled(false);
    if (t_.devInfo)
        m.FrmInfo.visible = false;
    bool eight = perPage() == 8;
    m.fraMulti.visible = !eight;
    m.fraMulti8.visible = eight;
    m.cmdLeftSh.visible = m.cmdRightSh.visible = true;
    // Every panel hidden first, so no panel of an earlier page or view is left showing.
    for (auto& p : m.fraMD)
        p.fra.visible = false;
    for (auto& p : m.fraMD8)
        p.fra.visible = false;
    setPage(0);
    scanPosition_ = 1;
    nextRequest_ = previousRequest_ = false;
    t_.Timer5().setInterval(link::kRecordingListMs[t_.settings.multiRecordingCode]);
    t_.TimerM().start();
    m.changed();
}

// Hides the panels and gives the menus back; nothing is redrawn, so no slider of the old page
// can store a set point into a device.
void MultiUnitMonitor::stop() {
    auto& m = t_.model;
    t_.engine().autoMultiMonitoring = false;
    m.menu("mnuAutoM").checked = false;
    m.fraMulti.visible = m.fraMulti8.visible = false;
    m.cmdLeftSh.visible = m.cmdRightSh.visible = false;
    setControlsEnabled(true);
    if (t_.devInfo)
        m.FrmInfo.visible = true;
    if (t_.rs232()) {
        t_.setMenuEnabled("mnuAutoM", false);
        t_.setToolbarEnabled("StartAM", false);
    }
    // The next tick ends the scan.
    t_.TimerM().start();
    m.changed();
}

void MultiUnitMonitor::setPage(int offset) {
    auto& m = t_.model;
    int count = t_.table.deviceCount();
    int p = perPage();
    pageOffset_ = std::clamp(offset, 0, std::max(0, (count - 1) / p * p));
    first_ = pageOffset_ + 1;
    last_ = std::min(pageOffset_ + p, count);
    hidePanels();
    drawPage(true);
    m.cmdLeftSh.enabled = first_ > 1;
    m.cmdRightSh.enabled = last_ < count;
}

void MultiUnitMonitor::hidePanels() {
    for (int k = 0; k < perPage(); ++k)
        panel(k)->fra.visible = false;
}

void MultiUnitMonitor::drawPage(bool emptyReadings) {
    for (int k = 0; k < last_ - pageOffset_; ++k)
        drawPanel(k, emptyReadings);
}

void MultiUnitMonitor::drawPanel(int k, bool emptyReading) {
    MultiPanel* p = panel(k);
    int slot = pageOffset_ + k + 1;
    if (!p || !t_.table.holdsDevice(slot))
        return;
    auto& rec = t_.table.record(slot);
    auto& st = t_.table.status(slot);
    p->fra.visible = true;
    p->lblNum.caption = rec.Number;
    p->lblName.caption = rec.Name;
    p->lblEU.caption = UnitTable::name(rec.EngUnit);
    if (emptyReading) {
        p->lblRe.caption.clear();
        p->lblRe.alert = false;
    }
    p->txtSP.caption = link::formatPattern(rec.SetPoint, "#####0.000");
    if (st.FullScale == 0)
        st.FullScale = 100;
    int position = t_.units.positionFromSetPoint(rec, st, false);
    // Above 110 % the slider stands at its end; the stored set point is not touched.
    if (position == p->hsc.max && t_.units.setPointFromPosition(rec, st, position) < rec.SetPoint)
        p->hsc.value = position;
    else
        moveSlider(k, position);
}

void MultiUnitMonitor::moveSlider(int k, int position) {
    MultiPanel* p = panel(k);
    if (p && p->hsc.value != position)
        hscMD_Change(k, position);
}

void MultiUnitMonitor::hscMD_Change(int k, int position) {
    MultiPanel* p = panel(k);
    int slot = pageOffset_ + k + 1;
    if (!p || !t_.table.holdsDevice(slot))
        return;
    moveSetPointSlider(p->hsc, position, t_.units, t_.table.record(slot), t_.table.status(slot));
    t_.model.changed();
}

void MultiUnitMonitor::txtMDSP_Commit(int k, const std::string& text) {
    MultiPanel* p = panel(k);
    int slot = pageOffset_ + k + 1;
    if (!p || !t_.table.holdsDevice(slot) ||
        !commitTypedSetPoint(text, p->hsc, t_.units, t_.table.record(slot), t_.table.status(slot)))
        return;
    p->txtSP.caption = text;
    t_.model.changed();
}

void MultiUnitMonitor::TimerM_Timer() {
    if (!running()) {
        t_.TimerM().stop();
        t_.engine().Timer3().setInterval(link::TransactionEngine::kNoReplyMs);
        return;
    }
    // A port lost while scanning ends the scan; its loss has been reported already.
    if (!t_.port().portOpen()) {
        stop();
        t_.TimerM().stop();
        return;
    }
    if (tickRunning_)
        return;
    tickRunning_ = true;
    scanOne();
    tickRunning_ = false;
}

void MultiUnitMonitor::scanOne() {
    auto& m = t_.model;
    int slot = scanPosition_;
    if (t_.table.holdsDevice(slot) && t_.table.record(slot).CommEnabled == 1) {
        t_.TimerM().stop();
        const unsigned run = run_;
        const int offset = pageOffset_;
        const int k = slot - pageOffset_ - 1;
        auto& rec = t_.table.record(slot);
        auto& st = t_.table.status(slot);
        bool pending = st.SetPointPending;
        std::string body = pending ? cmd::setPoint(link::formatPattern(rec.SetPoint, "####0.000"))
                                   : std::string(cmd::ReadFlow);
        // Cleared before the send: a reply is never left standing under another device.
        if (!pending && panel(k))
            panel(k)->lblRe.caption.clear();
        m.changed();
        // A silent device raises "No connection!" once a run, not once a pass.
        auto reply = t_.engine().exchange(link::commandLine(false, rec.Address, body),
                                          {.reportNoReply = silent_.count(slot) == 0});
        if (reply && reply->empty())
            silent_.insert(slot);
        bool drawn = reply && run == run_ && offset == pageOffset_ && panel(k);
        if (reply && !pending) {
            st.Flow = link::leadingNumber(*reply);
            t_.trend().record(rec, *reply);
            if (drawn) {
                panel(k)->lblRe.caption = reply->empty() ? kNoReply : *reply;
                panel(k)->lblRe.alert = reply->empty();
            }
        } else if (reply && !reply->empty() && (*reply)[0] == 'S') {
            st.SetPointPending = false;
            if (drawn)
                panel(k)->txtSP.caption = reply->substr(1);
        }
        t_.TimerM().start();
        m.changed();
    }

    ++scanPosition_;
    if (scanPosition_ > last_) {
        writeRecord();
        scanPosition_ = first_;
    }
    if (nextRequest_ || previousRequest_) {
        int p = perPage();
        if (nextRequest_ && last_ < t_.table.deviceCount())
            setPage(pageOffset_ + p);
        else if (previousRequest_ && pageOffset_ > 0)
            setPage(pageOffset_ - p);
        nextRequest_ = previousRequest_ = false;
        scanPosition_ = first_;
        m.changed();
    }
}

void MultiUnitMonitor::writeRecord() {
    auto& logs = t_.logs();
    if (!logs.recorderOn() || !logs.recordDue)
        return;
    std::string line;
    for (int d = first_; d <= last_; ++d)
        if (t_.table.holdsDevice(d) && t_.table.record(d).CommEnabled == 1)
            line += DataLogs::multiUnitField(t_.table.status(d).Flow);
    logs.writeAuto(line);
    logs.recordDue = false;
}

} // namespace kvt::monitor
