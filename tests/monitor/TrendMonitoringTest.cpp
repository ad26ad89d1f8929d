#include "MonitorFixtures.h"
#include "monitor/TrendModel.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kvt;
using namespace kvt::testing;

namespace {

config::DeviceRecord named(const std::string& number, const std::string& address) {
    auto r = deviceRecord(number, address);
    r.Name = "Unit " + number;
    return r;
}

// A started terminal sampling at 100 ms, its start-up traffic and boxes discarded.
struct TrendBench : ::testing::Test {
    std::unique_ptr<TerminalWorld> w;

    void start(sim::LineMode mode, std::vector<config::DeviceRecord> records) {
        w = std::make_unique<TerminalWorld>(mode, records);
        w->prefs.save("KVT Control Terminal", "Properties", "Time_ss", "0");
        w->prefs.save("KVT Control Terminal", "Properties", "Time_ms", "100");
        settle(*w);
    }
    monitor::FrmTerminal& t() { return *w->term; }
    monitor::TrendHistory& h() { return t().trend().history; }
    // (readings, gaps) kept for device d.
    std::pair<int, int> kept(std::size_t d) {
        int readings = 0, gaps = 0;
        const auto& fine = h().fine(d);
        for (std::size_t i = 0; i < fine.size(); ++i)
            (std::isnan(fine[i].flow) ? gaps : readings)++;
        return {readings, gaps};
    }
};

TEST_F(TrendBench, SingleUnitTimeOutsAndUnreadableRepliesAreGapsAndRunsAppend) {
    start(sim::LineMode::Rs232, {named("7", "1A")});
    t().menuClick("mnuAutoS");
    w->rt.runFor(2.0);
    ASSERT_EQ(h().deviceCount(), 1U);
    EXPECT_EQ(h().deviceInfo(0).name, "Unit 7");
    auto [readings, gaps] = kept(0);
    EXPECT_GT(readings, 5);
    EXPECT_EQ(gaps, 0);

    // A silent spell: each cycle's time-out is a gap, never a zero.
    w->port.dropReplies = true;
    w->rt.runFor(4.5);
    w->port.dropReplies = false;
    w->rt.runFor(1.0);
    auto [after, gapsAfter] = kept(0);
    EXPECT_GE(gapsAfter, 1);
    EXPECT_LE(gapsAfter, 3);
    EXPECT_GT(after, readings);

    // Stopping keeps the history; a new run adds to it.
    t().menuClick("mnuAutoS");
    w->rt.runFor(1.0);
    const std::size_t stopped = h().fine(0).size();
    EXPECT_EQ(stopped, static_cast<std::size_t>(after + gapsAfter));
    w->rt.runFor(1.0);
    EXPECT_EQ(h().fine(0).size(), stopped);
    t().menuClick("mnuAutoS");
    w->rt.runFor(1.0);
    EXPECT_GT(h().fine(0).size(), stopped);
    EXPECT_EQ(h().deviceCount(), 1U);

    // An unreadable reply is a gap too.
    auto [before, gapsBefore] = kept(0);
    w->port.rewriteReply = [](std::string r) {
        return r.find('.') != std::string::npos ? "ERR\r\n" : r;
    };
    w->rt.runFor(1.0);
    EXPECT_EQ(kept(0).first, before);
    EXPECT_GT(kept(0).second, gapsBefore + 3);
}

TEST_F(TrendBench, MultiUnitKeepsEveryScannedDeviceAndTheBusSeesThem) {
    start(sim::LineMode::Rs485, {named("1", "01"), named("2", "02"), named("3", "03")});
    t().menuClick("mnuAutoM");
    w->rt.runFor(2.0);
    ASSERT_EQ(h().deviceCount(), 3U);
    for (std::size_t d = 0; d < 3; ++d) {
        EXPECT_EQ(h().deviceInfo(d).address, "0" + std::to_string(d + 1));
        EXPECT_GT(kept(d).first, 3) << d;
    }
    auto rows = t().busStatistics().rows();
    ASSERT_GE(rows.size(), 3U);
    for (const auto& r : rows) {
        EXPECT_GT(r.exchanges, 0U) << r.address;
        EXPECT_EQ(r.timeouts, 0U) << r.address;
    }
}

TEST_F(TrendBench, MenuAndToolbarOpenTheWindowsAndExport) {
    start(sim::LineMode::Rs232, {named("7", "1A")});
    int trend = 0, bus = 0;
    t().onShowTrend = [&] { ++trend; };
    t().onShowBusHealth = [&] { ++bus; };
    for (const char* menu : {"mnuTrend", "mnuBusHealth"})
        t().menuClick(menu);
    for (const char* button : {"Trend", "BusHealth"})
        t().toolbarClick(button);
    EXPECT_EQ(nums(trend, bus), nums(2, 2));

    t().menuClick("mnuFileExportCsv");
    ASSERT_EQ(w->op.texts(),
              std::vector<std::string>{"No readings have been kept yet: start monitoring first."});
    t().menuClick("mnuAutoS");
    w->rt.runFor(1.0);
    t().menuClick("mnuAutoS");

    struct Case {
        platform::Answer which;
        std::string file;
        bool written;
        std::string message; // start of the box after the chooser; "" none
    };
    const std::string good = w->folder.file("trend.csv");
    const Case cases[] = {
        {platform::Answer::No, good, true, ""},
        {platform::Answer::Yes, good, true, ""},
        {platform::Answer::No, w->folder.file("missing/trend.csv"), false,
         "Cannot write " + w->folder.file("missing/trend.csv") + ": "},
        {platform::Answer::Cancel, "", false, ""},
    };
    for (const auto& c : cases) {
        std::remove(good.c_str());
        w->op.shown.clear();
        w->op.answer(c.which);
        if (c.which != platform::Answer::Cancel)
            w->op.choose(c.file);
        t().menuClick("mnuFileExportCsv");
        EXPECT_EQ(w->op.unansweredLeft(), 0U);
        const std::string text = kvt::test::readFile(good);
        EXPECT_EQ(!text.empty(), c.written);
        if (c.written) {
            EXPECT_EQ(text.rfind("Time,Device,Address,Name,Flow,Set Point,Unit\r\n", 0), 0U);
            EXPECT_NE(text.find(",7,1A,Unit 7,"), std::string::npos) << text.substr(0, 200);
        }
        ASSERT_EQ(w->op.shown.size(), c.message.empty() ? 1U : 2U);
        if (!c.message.empty())
            EXPECT_EQ(w->op.shown[1].text.rfind(c.message, 0), 0U) << w->op.shown[1].text;
    }
}

// The view: zooming or panning pauses follow, a click resumes it.
TEST(TrendView, FollowPausesOnZoomAndResumesAndTheAxisNamesTheUnits) {
    kvt::testing::SimRuntime rt(10 * 3600.0);
    monitor::TrendModel m(rt.clock());
    EXPECT_EQ(m.axisTitle(), "Flow");
    m.record(named("1", "01"), "50.0");
    const double now = m.now();
    struct Case {
        std::function<void()> act;
        bool follows;
        std::pair<double, double> range;
    };
    const Case cases[] = {
        {[] {}, true, {now - 300, now}},
        {[&] { m.chooseWindow(60); }, true, {now - 60, now}},
        {[&] { m.viewRange(now - 30, now - 10); }, false, {now - 30, now - 10}},
        {[&] { m.viewRange(now, now - 10); }, false, {now - 30, now - 10}}, // refused
        {[&] { m.resumeFollow(); }, true, {now - 60, now}},
        {[&] { m.chooseWindow(0); }, true, {now - 1, now}}, // all: at least a second
        {[&] { m.reset(); }, true, {now - 300, now}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        cases[i].act();
        EXPECT_EQ(m.following(), cases[i].follows) << i;
        EXPECT_EQ(m.range(), cases[i].range) << i;
    }

    // The axis names the units shown, the legend names the devices.
    auto b = named("2", "02");
    b.EngUnit = 3;
    rt.runFor(0.5);
    m.record(b, "2.0");
    rt.runFor(0.5);
    EXPECT_EQ(m.axisTitle(), "Flow [SLPM, mLPM]");
    m.setShown(0, false);
    EXPECT_EQ(m.axisTitle(), "Flow [mLPM]");
    EXPECT_EQ(m.legendName(1), "2 (02) Unit 2");
}

} // namespace
