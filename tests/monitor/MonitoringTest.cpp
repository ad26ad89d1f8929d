#include "MonitorFixtures.h"
#include "config/SetupFile.h"
#include "link/NumberText.h"
#include "monitor/DataLogs.h"
#include "monitor/MultiUnitMonitor.h"
#include "monitor/SetPointEntry.h"
#include "monitor/SingleUnitMonitor.h"
#include "monitor/TrendModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <tuple>

using namespace kvt;
using namespace kvt::testing;

namespace {

config::DeviceRecord unit(const std::string& number, const std::string& address,
                          int commEnabled = 1) {
    auto r = deviceRecord(number, address, commEnabled);
    r.Name = "Unit " + number;
    r.EngUnit = 1;
    return r;
}

// A started terminal sampling every second, its start-up traffic and messages discarded.
struct Bench {
    Bench(sim::LineMode mode, std::vector<config::DeviceRecord> records,
          std::vector<sim::DeviceOptions> devices = {})
        : w(mode, records, std::move(devices)) {
        w.prefs.save(kApp, "Properties", "Time_ss", "1");
        w.prefs.save(kApp, "Properties", "Time_ms", "0");
        settle(w);
    }
    monitor::FrmTerminal& t() { return *w.term; }
    config::DeviceRecord& rec(int slot = 1) { return t().table.record(slot); }
    config::DeviceStatus& status(int slot = 1) { return t().table.status(slot); }
    Lines run(double seconds) {
        w.rt.runFor(seconds);
        return w.takeWritten();
    }
    config::DeviceRecord saved(int slot = 1) {
        config::DeviceTable table;
        config::LoadDeviceTable(table, w.setupPath());
        return table.record(slot);
    }
    TerminalWorld w;
};

constexpr auto count = &DeviceWorld::count;

std::vector<std::string> fileLines(const std::string& path) {
    std::string text = test::readFile(path);
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every record ends with CR LF";
    return out;
}

void openLog(Bench& b, const char* menu, const std::string& path) {
    b.w.op.choose(path);
    b.t().menuClick(menu);
}

std::string hex(int i) {
    char address[3];
    std::snprintf(address, sizeof address, "%02X", i);
    return address;
}

std::vector<config::DeviceRecord> units(int n, int disabled = 0) {
    std::vector<config::DeviceRecord> out;
    for (int i = 1; i <= n; ++i)
        out.push_back(unit(std::to_string(i), hex(i), i == disabled ? 0 : 1));
    return out;
}

std::vector<sim::DeviceOptions> devices(int n) {
    std::vector<sim::DeviceOptions> out;
    for (int i = 1; i <= n; ++i)
        out.push_back(quietDevice(hex(i)));
    return out;
}

// The device numbers on the page shown, in the larger view when it is up.
std::vector<int> shown(monitor::FrmTerminal& t) {
    std::vector<int> out;
    const auto& m = t.model;
    using Panels = std::span<const monitor::MultiPanel>;
    for (const auto& p : m.fraMulti8.visible ? Panels(m.fraMD8) : Panels(m.fraMD))
        if (p.fra.visible)
            out.push_back(std::stoi(p.lblNum.caption));
    return out;
}

// (readings, gaps) kept for device d.
std::pair<int, int> kept(Bench& b, std::size_t d = 0) {
    int readings = 0, gaps = 0;
    const auto& fine = b.t().trend().history.fine(d);
    for (std::size_t i = 0; i < fine.size(); ++i)
        (std::isnan(fine[i].flow) ? gaps : readings)++;
    return {readings, gaps};
}

} // namespace

TEST(SingleUnit, CycleReadsFlowAndPollsAlarmAndTotalizer) {
    for (const LineKind& mode : {kRs232, kRs485}) {
        SCOPED_TRACE(mode.prefix);
        auto r = unit("7", "1A");
        r.AlarmEnabled = 1;
        r.AlarmUpdateRate = 2;
        r.TotalizerEnabled = 1;
        Bench b(mode.line, {r}, {quietDevice("1A")});
        auto& m = b.t().model;
        b.t().menuClick("mnuAutoS");
        EXPECT_TRUE(m.menu("mnuAutoS").checked && m.fraSD.visible && m.fraTS.enabled);
        EXPECT_EQ(m.lblDNumber.caption + " " + m.txtSetP.caption, "7 0.000");
        for (const char* name : {"mnuFile", "mnuPort", "mnuQuery", "mnuTools", "mnuAutoM"})
            EXPECT_FALSE(m.menu(name).enabled) << name;
        EXPECT_FALSE(m.toolbar["StartAM"].enabled);

        Lines lines = b.run(3.05);
        // About one cycle a sampling interval; the alarm every two seconds, the total every second.
        EXPECT_GE(count(lines, mode.prefix + "f"), 20);
        EXPECT_EQ(count(lines, mode.prefix + "a,s"), 2);
        EXPECT_NEAR(count(lines, mode.prefix + "t,r"), 2.5, 0.5);
        EXPECT_EQ(lines.front(), mode.prefix + "f");
        EXPECT_EQ(m.lblAH.caption, "  N");
        EXPECT_FALSE(m.lblRead.caption.empty());
        EXPECT_TRUE(b.w.op.shown.empty());

        // Stopping: a second later the port closes and everything is given back.
        b.t().toolbarClick("StartAS");
        EXPECT_FALSE(m.fraSD.visible || b.w.port.portOpen());
        EXPECT_TRUE(m.menu("mnuFile").enabled);
        EXPECT_EQ(m.menu("mnuAutoM").enabled, mode.line == sim::LineMode::Rs485);
        EXPECT_TRUE(b.run(2).empty());

        // Started again within the closing second, it keeps its port; ending the program ends
        // the loop.
        b.t().menuClick("mnuAutoS");
        b.run(0.3);
        b.w.rt.schedule(0.5, [&] { b.t().menuClick("mnuAutoS"); });
        b.t().menuClick("mnuAutoS"); // stops, and waits a second before closing
        EXPECT_TRUE(b.t().single().running());
        EXPECT_GT(count(b.run(0.5), mode.prefix + "f"), 2);
        ASSERT_TRUE(b.t().Form_QueryUnload());
        EXPECT_TRUE(b.run(1).empty());
        EXPECT_FALSE(b.t().Timer4().isActive());
    }
}

TEST(SingleUnit, TypedSetPointGoesThroughTheSliderIsConfirmedAndFollowsTheUnit) {
    Bench b(sim::LineMode::Rs485, {unit("1", "1A")}, {quietDevice("1A", 50)});
    auto& m = b.t().model;
    b.t().menuClick("mnuAutoS");
    b.run(0.6);
    // 12.34 of 50 SLPM is position 246.8 -> 247, and the position's set point 12.35 is sent.
    b.t().single().txtSetP_Commit("12.34");
    EXPECT_EQ(m.hscSetP.value, 247);
    EXPECT_DOUBLE_EQ(b.rec().SetPoint, 12.35);
    Lines lines = b.run(0.3);
    EXPECT_EQ(count(lines, "!1A,s,12.350"), 1);
    EXPECT_FALSE(b.status().SetPointPending);
    EXPECT_DOUBLE_EQ(b.saved().SetPoint, 12.35);
    EXPECT_DOUBLE_EQ(b.w.bus.device(0).setPoint(), 12.35);
    // A unit change converts the set point, keeps the slider, and sends nothing.
    b.t().menuClick("mnuOptionsEU_SLPH");
    lines = b.run(0.3);
    EXPECT_EQ(m.hscSetP.value, 247);
    EXPECT_DOUBLE_EQ(b.rec().SetPoint, 741); // 12.35 SLPM
    EXPECT_EQ(count(lines, "!1A,s,741.000"), 0);
    EXPECT_DOUBLE_EQ(b.saved().SetPoint, 741);
    b.t().menuClick("mnuOptionsEU_SLPM");

    // Above 100 % the slider stops at 1000, and the set point follows the slider.
    b.t().single().txtSetP_Commit("80");
    EXPECT_EQ(m.hscSetP.value, 1000);
    EXPECT_DOUBLE_EQ(b.rec().SetPoint, 50);
    b.t().single().hscSetP_Change(1100);
    EXPECT_DOUBLE_EQ(b.rec().SetPoint, 55);
    // No digit: nothing is committed.
    for (const char* junk : {"", ".", "abc", ".."}) {
        b.run(0.5);
        b.t().single().txtSetP_Commit(junk);
        EXPECT_FALSE(b.status().SetPointPending) << junk;
    }
    EXPECT_EQ(monitor::setPointText("1a2.,5"), "12.5");

    // A refused set point stays pending and goes again the next cycle.
    b.w.port.rewriteReply = [&](std::string r) {
        return b.w.bus.commandLog().back().find(",s,") != std::string::npos ? "1A: ?\r\n" : r;
    };
    b.t().single().hscSetP_Change(500);
    lines = b.run(0.35);
    EXPECT_GE(count(lines, "!1A,s,25.000"), 2);
    EXPECT_TRUE(b.status().SetPointPending);
}

TEST(SingleUnit, SilentOrUnreadableRepliesAreGapsAndRunsAppend) {
    Bench b(sim::LineMode::Rs232, {unit("1", "01")}, {quietDevice("01")});
    auto& h = b.t().trend().history;
    b.t().menuClick("mnuAutoS");
    b.w.port.dropReplies = true;
    Lines lines = b.run(10);
    // Each cycle waits two seconds and one for a late answer; ticks meanwhile start nothing.
    EXPECT_EQ(count(lines, "f"), 4);
    ASSERT_GT(h.fine(0).size(), 0U);
    EXPECT_TRUE(std::isnan(h.fine(0).back().flow)); // a time-out is a gap, never a zero
    // Told once, not once a cycle; told again after it answered and fell silent again.
    EXPECT_EQ(b.w.op.texts(), Lines{"No connection!"});
    b.w.port.dropReplies = false;
    b.run(3);
    // An unreadable reply is a gap too.
    const auto [readings, gaps] = kept(b);
    EXPECT_GT(readings, 0);
    b.w.port.rewriteReply = [](std::string r) {
        return r.find('.') != std::string::npos ? "ERR\r\n" : r;
    };
    b.run(1);
    EXPECT_EQ(kept(b).first, readings);
    EXPECT_GT(kept(b).second, gaps);
    b.w.port.rewriteReply = nullptr;
    b.w.port.dropReplies = true;
    b.run(5);
    EXPECT_EQ(b.w.op.shown.size(), 2u);
    EXPECT_EQ(b.t().model.lblRead.caption, "");

    // Stopping keeps the history; a new run adds to it, under the same device.
    b.t().menuClick("mnuAutoS");
    b.w.port.dropReplies = false;
    b.run(1.0);
    const std::size_t stopped = h.fine(0).size();
    b.run(1.0);
    EXPECT_EQ(h.fine(0).size(), stopped);
    b.t().menuClick("mnuAutoS");
    b.run(1.0);
    EXPECT_GT(h.fine(0).size(), stopped);
    EXPECT_EQ(h.deviceCount(), 1U);
}

TEST(SingleUnit, RefusalsLeaveTheModeOffAndTheSelectionWhereItWas) {
    // A port that will not open.
    {
        Bench b(sim::LineMode::Rs232, {unit("1", "01")});
        b.w.port.failOpenWith = "Port busy";
        b.t().menuClick("mnuAutoS");
        EXPECT_FALSE(b.t().single().running() || b.t().model.menu("mnuAutoS").checked);
        EXPECT_TRUE(b.t().model.menu("mnuFile").enabled);
        EXPECT_EQ(b.w.op.texts(), Lines{"Port busy"});
    }
    // A disabled device: not started; chosen while running, the list goes back, nothing sent.
    {
        Bench b(sim::LineMode::Rs485, {unit("1", "01"), unit("2", "02", 0)},
                {quietDevice("01"), quietDevice("02")});
        b.t().menuClick("mnuAutoS");
        b.run(0.3);
        b.t().cboCurUnit_Click(1);
        EXPECT_EQ(b.t().currentDevice(), 1);
        EXPECT_EQ(b.t().model.cboCurUnit.listIndex, 0);
        EXPECT_EQ(b.w.op.texts(), Lines{kDisabled});
        for (const auto& l : b.run(0.5))
            EXPECT_EQ(l.substr(0, 4), "!01,");
    }
}

TEST(SingleUnit, TotalizerLimitBeepsOnceUntilReset) {
    // Digital input: the device follows the set point it is sent; stop at 0.5 L.
    const auto r = recordOf(R"("1","01","Unit 1",0,1,1,1,1,60,1,10,0.5,0,0,2,2,1,0,0,0,1,1,1)");
    Bench b(sim::LineMode::Rs232, {r}, {quietDevice("01")});
    b.t().menuClick("mnuOptionsTotalStartNow");
    b.t().menuClick("mnuAutoS");
    b.run(6);
    EXPECT_TRUE(b.t().model.lblTO.alert);
    EXPECT_EQ(b.w.op.beeps, 1);
    b.t().single().cmdTReset_Click();
    EXPECT_FALSE(b.t().model.lblTO.alert);
    EXPECT_EQ(b.t().model.lblTO.caption, "0.00   L");
    // The device stopped counting at its limit; counting again reaches it again.
    b.t().menuClick("mnuOptionsTotalStartNow");
    b.run(6);
    EXPECT_EQ(b.w.op.beeps, 2);
}

TEST(MultiUnit, PagesOfFourOverTenDevices) {
    Bench b(sim::LineMode::Rs485, units(10, 3), devices(10));
    auto& t = b.t();
    auto& m = t.model;
    const std::string log = b.w.folder.file("multi.log");
    openLog(b, "mnuFileALogO", log);
    t.settings.multiRecordingCode = 4; // 1 s
    t.menuClick("mnuDRecStart");
    t.menuClick("mnuAutoM");
    EXPECT_TRUE(m.fraMulti.visible && m.cmdRightSh.enabled);
    EXPECT_FALSE(m.fraCD.enabled || m.menu("mnuAutoS").enabled || m.cmdLeftSh.enabled);
    EXPECT_EQ(shown(t), (std::vector<int>{1, 2, 3, 4}));
    // One device a tick, the disabled one skipped, its slot still taken.
    Lines lines = b.run(0.4);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4), (Lines{"!01,f", "!02,f", "!04,f", "!01,f"}));
    lines = b.run(0.8);
    EXPECT_EQ(count(lines, "!03,f") + count(lines, "!05,f"), 0);
    // The first record, of the page shown: the disabled device is left out.
    EXPECT_EQ(fileLines(log), Lines{"0.0000   0.0000   0.0000   "});
    EXPECT_TRUE(m.fraMD[2].lblRe.caption.empty());
    EXPECT_FALSE(m.fraMD[3].lblRe.caption.empty());

    // Right past the last page does nothing; left from the partial page is 5-8. Each page
    // shown is scanned and its arrows say where it can go.
    const std::pair<bool, std::vector<int>> steps[] = {
        {true, {5, 6, 7, 8}},  {true, {9, 10}},       {true, {9, 10}},
        {false, {5, 6, 7, 8}}, {false, {1, 2, 3, 4}}, {false, {1, 2, 3, 4}}};
    for (const auto& [right, page] : steps) {
        right ? t.multi().cmdRightSh_Click() : t.multi().cmdLeftSh_Click();
        lines = b.run(0.5);
        EXPECT_EQ(shown(t), page);
        for (int n : page)
            EXPECT_EQ(count(lines, "!" + hex(n) + ",f") > 0, n != 3) << n;
        EXPECT_EQ(m.cmdRightSh.enabled, page.back() != 10);
        EXPECT_EQ(m.cmdLeftSh.enabled, page.front() != 1);
    }

    // A set point typed on the second page goes to that page's device.
    t.multi().cmdRightSh_Click();
    b.run(0.2);
    t.multi().txtMDSP_Commit(1, "25");
    EXPECT_EQ(count(b.run(0.3), "!06,s,25.000"), 1);
    EXPECT_EQ(m.fraMD[1].txtSP.caption, "25.000");
    EXPECT_DOUBLE_EQ(b.w.bus.device(5).setPoint(), 25);

    // Stopping hides the page; the next start, in the larger view, begins on its first page, and
    // the view cannot change while monitoring.
    t.menuClick("mnuAutoM");
    EXPECT_FALSE(m.fraMulti.visible);
    b.run(2);
    EXPECT_FALSE(b.w.port.portOpen());
    t.menuClick("mnuVM8");
    t.menuClick("mnuAutoM");
    EXPECT_TRUE(m.fraMulti8.visible && !m.fraMulti.visible && !m.menu("mnuView").enabled);
    EXPECT_EQ(shown(t), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(b.w.op.shown.empty());
}

TEST(MultiUnit, SilentDeviceIsReportedOnceAndDrawingAboveTheSliderLeavesTheSetPointAlone) {
    auto records = units(3);
    records[0].SetPoint = 150; // 150 % of 100 SLPM
    records[1].SetPoint = 105;
    Bench b(sim::LineMode::Rs485, records, devices(3));
    auto& m = b.t().model;
    b.w.port.rewriteReply = [&](std::string r) {
        return b.w.bus.commandLog().back().substr(0, 4) == "!03," ? std::string{} : r;
    };
    b.t().menuClick("mnuAutoM");
    EXPECT_EQ(m.fraMD[0].hsc.value, 1100);
    EXPECT_DOUBLE_EQ(b.rec(1).SetPoint, 150);
    EXPECT_FALSE(b.status(1).SetPointPending);
    // Between 100 % and 110 % the slider shows it without the cap; the moved slider sends it.
    EXPECT_EQ(m.fraMD[1].hsc.value, 1050);
    EXPECT_TRUE(b.status(2).SetPointPending);
    EXPECT_EQ(b.run(0.3), (Lines{"!01,f", "!02,s,105.000", "!03,f"}));

    Lines lines = b.run(9);
    EXPECT_EQ(b.w.op.texts(), Lines{"No connection!"});
    EXPECT_GE(count(lines, "!03,f"), 3);
    EXPECT_GE(count(lines, "!01,f"), 3);
    EXPECT_EQ(m.fraMD[2].lblRe.caption, "No reply");
    EXPECT_TRUE(m.fraMD[2].lblRe.alert && !m.fraMD[0].lblRe.alert);
    // The other devices wait for the one time-out a pass and no more.
    EXPECT_LE(count(lines, "!01,f") - count(lines, "!03,f"), 1);
}

TEST(MonitoringLogs, SingleUnitRecordsAndAlarms) {
    // Set point 60 on digital input, alarm between 10 and 50.
    const auto r = recordOf(R"("7","01","Unit 7",0,1,1,1,1,60,0,10,10000,0,1,50,10,1,0,0,0,1,1,1)");
    Bench b(sim::LineMode::Rs232, {r}, {quietDevice("01")});
    std::string autoLog = b.w.folder.file("run.log"), alarmLog = b.w.folder.file("run.alg");
    openLog(b, "mnuFileALogO", autoLog);
    openLog(b, "mnuOALF", alarmLog);
    b.t().settings.singleRecordingCode = 4; // 1 s
    b.t().menuClick("mnuDRecStart");
    b.t().menuClick("mnuAutoS");
    b.run(3.5);
    b.t().menuClick("mnuAutoS");
    EXPECT_FALSE(b.t().logs().alarmLogOpen()); // stopping the mode closes the alarm log

    auto records = fileLines(autoLog);
    ASSERT_GE(records.size(), 3u);
    for (const auto& rec : records) {
        ASSERT_EQ(rec.substr(0, 6), "7     ") << rec;
        EXPECT_TRUE(link::parseNumber(rec.substr(6))) << rec;
    }
    // The first poll finds the flow far below the set point; later "N" polls write nothing.
    EXPECT_EQ(fileLines(alarmLog), Lines{"7   0.000   L  10:0:1 12 6 2026"});
}

TEST(Trend, ToolbarOpensBusHealthAndTheMenuExports) {
    Bench b(sim::LineMode::Rs232, {unit("7", "1A")});
    auto& w = b.w;
    int bus = 0; // the other entries are clicked in the window tests
    b.t().onShowBusHealth = [&] { ++bus; };
    b.t().toolbarClick("BusHealth");
    EXPECT_EQ(bus, 1);

    b.t().menuClick("mnuFileExportCsv");
    ASSERT_EQ(w.op.texts(), Lines{"No readings have been kept yet: start monitoring first."});
    b.t().menuClick("mnuAutoS");
    b.run(1.0);
    b.t().menuClick("mnuAutoS");

    // The answer to the range question, the file chosen, the start of the box after it ("" none).
    const std::string good = w.folder.file("trend.csv"), bad = w.folder.file("missing/trend.csv");
    const std::tuple<platform::Answer, std::string, std::string> cases[] = {
        {platform::Answer::No, good, ""},
        {platform::Answer::Yes, good, ""},
        {platform::Answer::No, bad, "Cannot write " + bad + ": "},
        {platform::Answer::Cancel, "", ""},
    };
    for (const auto& [which, file, message] : cases) {
        std::remove(good.c_str());
        w.op.shown.clear();
        w.op.answer(which);
        if (which != platform::Answer::Cancel)
            w.op.choose(file);
        b.t().menuClick("mnuFileExportCsv");
        EXPECT_EQ(w.op.unansweredLeft(), 0U);
        const std::string text = kvt::test::readFile(good);
        EXPECT_EQ(text.empty(), file != good);
        if (!text.empty()) {
            EXPECT_EQ(text.rfind("Time,Device,Address,Name,Flow,Set Point,Unit\r\n", 0), 0U);
            EXPECT_NE(text.find(",7,1A,Unit 7,"), std::string::npos) << text.substr(0, 200);
        }
        ASSERT_EQ(w.op.shown.size(), message.empty() ? 1U : 2U);
        if (!message.empty()) {
            EXPECT_EQ(w.op.shown[1].text.rfind(message, 0), 0U) << w.op.shown[1].text;
        }
    }
}

// The view: zooming or panning pauses follow, a click resumes it.
TEST(TrendView, FollowPausesOnZoomAndResumesAndTheAxisNamesTheUnits) {
    kvt::testing::SimRuntime rt(10 * 3600.0);
    monitor::TrendModel m(rt.clock());
    EXPECT_EQ(m.axisTitle(), "Flow");
    m.record(unit("1", "01"), "50.0");
    const double now = m.now();
    const std::tuple<std::function<void()>, bool, std::pair<double, double>> cases[] = {
        {[] {}, true, {now - 300, now}},
        {[&] { m.chooseWindow(60); }, true, {now - 60, now}},
        {[&] { m.viewRange(now - 30, now - 10); }, false, {now - 30, now - 10}},
        {[&] { m.viewRange(now, now - 10); }, false, {now - 30, now - 10}}, // refused
        {[&] { m.resumeFollow(); }, true, {now - 60, now}},
        {[&] { m.chooseWindow(0); }, true, {now - 1, now}}, // all: at least a second
        {[&] { m.reset(); }, true, {now - 300, now}},
    };
    for (const auto& [act, follows, range] : cases) {
        act();
        EXPECT_EQ(m.following(), follows) << range.first;
        EXPECT_EQ(m.range(), range);
    }

    // The axis names the units shown, the legend names the devices.
    auto b = unit("2", "02");
    b.EngUnit = 3;
    rt.runFor(0.5);
    m.record(b, "2.0");
    rt.runFor(0.5);
    EXPECT_EQ(m.axisTitle(), "Flow [SLPM, mLPM]");
    m.setShown(0, false);
    EXPECT_EQ(m.axisTitle(), "Flow [mLPM]");
    EXPECT_EQ(m.legendName(1), "2 (02) Unit 2");
}
