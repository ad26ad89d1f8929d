#include "MonitorFixtures.h"
#include "link/NumberText.h"
#include "monitor/DataLogs.h"
#include "monitor/FrmProgram.h"
#include "monitor/SetPointProgram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

using namespace kvt;
using namespace kvt::testing;
using monitor::FrmProg;
using monitor::SetPointProgram;

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

constexpr auto words = &DeviceWorld::words;

// Program rows written "setpoint/time setpoint/time ...", either side may be empty.
Rows rows(const std::string& text) {
    Rows out;
    for (const auto& w : words(text)) {
        auto slash = w.find('/');
        out.emplace_back(w.substr(0, slash), w.substr(slash + 1));
    }
    return out;
}

// A started RS-232 terminal on one device of 10 SLPM full scale, start-up traffic discarded.
struct ProgramBench {
    explicit ProgramBench(int engUnit = 0, double setPoint = 0, int commEnabled = 1) {
        auto r = deviceRecord("1", "01", commEnabled);
        r.EngUnit = static_cast<std::int16_t>(engUnit);
        r.SetPoint = setPoint;
        w = std::make_unique<TerminalWorld>(sim::LineMode::Rs232,
                                            std::vector<config::DeviceRecord>{r},
                                            std::vector<sim::DeviceOptions>{quietDevice("01", 10)});
        settle(*w);
    }
    monitor::FrmTerminal& t() { return *w->term; }
    monitor::ProgramRunner& runner() { return t().program(); }

    // Opens "Program Mode", fills the rows and presses Run.
    void run(const Rows& rows, const std::string& endStep = "12", bool loop = false) {
        w->dialogs.program = [&](FrmProg& d) {
            for (std::size_t i = 0; i < rows.size(); ++i) {
                d.model.txtSP[i].caption = rows[i].first;
                d.model.txtTime[i].caption = rows[i].second;
            }
            d.model.txtEndStep.caption = endStep;
            d.chkLoop_Click(loop);
            d.cmdRun_Click();
            closed = d.model.closed;
        };
        t().menuClick("mnuCommProg");
        w->rt.runFor(0.1); // Timer9 starts the runner, which runs to its end
        w->rt.runUntilIdle(5);
    }
    Lines lines() { return w->takeWritten(); }
    std::unique_ptr<TerminalWorld> w;
    bool closed = false;
};

Lines setPoints(const Lines& lines) {
    Lines out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                 [](const std::string& l) { return l.rfind("s,", 0) == 0; });
    return out;
}

int flowReads(const Lines& lines) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), "f"));
}

Lines range(double from, double step, int n) {
    Lines out;
    for (int i = 1; i <= n; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "s,%.4f", from + step * i);
        out.push_back(buf);
    }
    return out;
}

} // namespace

TEST(ProgramRun, LinesPerStep) {
    struct Case {
        const char* name;
        Rows rows;
        Lines sent; // the set-point lines, in order
        int reads;  // "f" lines
        std::string endStep = "12";
        int engUnit = 0;
        double startSetPoint = 0;   // in the device's unit
        std::string confirmed = ""; // the stored set point and the panel; "": not checked
        int bar = 0;
    };
    const std::vector<Case> cases = {
        {"ramp up 0 to 50 over 10 s", rows("50/10"), range(0, 1, 50), 50},
        {"within the deadband nothing goes out", rows("50.05/1"), {}, 5, "12", 0, 50},
        // The skipped row moves the ramp's start; the hold that follows still reaches its value.
        {"a row without time is skipped", rows("80/ 80/1"), words("s,80.0000"), 5},
        {"end step limits the rows", rows("10/0 20/0 30/0 40/0 50/0"),
         words("s,10.0000 s,20.0000 s,30.0000"), 0, "3"},
        {"a negative time counts as 0", rows("30/-5"), words("s,30.0000"), 0},
        {"zero-time values under 0.1 go out as they are", rows("0.05/0"), words("s,0.0500"), 0},
        {"ramp values under 0.1 go out as 0", rows("10/0 0.05/1"),
         words("s,10.0000 s,8.0100 s,6.0200 s,4.0300 s,2.0400 s,0.0000"), 5},
        // 0.1 a tick is not more than the deadband: every second tick goes out, exactly.
        {"increments of exactly the deadband", rows("1/2"), range(0, 0.2, 5), 10},
        // From 5 SLPM (50 %) up to 60 % in one second: 52, 54, ... % of 10 SLPM.
        {"ramp in SLPM", rows("60/1"), words("s,5.2000 s,5.4000 s,5.6000 s,5.8000 s,6.0000"), 5,
         "12", 1, 5, "6.000", 60},
        {"above full scale the bar stays full", rows("105/0"), words("s,105.0000"), 0, "12", 0, 0,
         "105.000", 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramBench b(c.engUnit, c.startSetPoint);
        b.run(c.rows, c.endStep);
        Lines lines = b.lines();
        EXPECT_EQ(setPoints(lines), c.sent);
        EXPECT_EQ(flowReads(lines), c.reads);
        EXPECT_TRUE(b.w->op.texts().empty());
        // The end gives everything back and closes the port.
        auto& m = b.t().model;
        EXPECT_TRUE(!m.fraProg.visible && m.fraCD.enabled && m.menu("mnuFile").enabled &&
                    m.menu("mnuCommands").enabled);
        EXPECT_EQ(m.frmTerminal.caption, "KVT Control Terminal");
        EXPECT_FALSE(b.w->port.portOpen());
        EXPECT_FALSE(b.t().table.status(1).SetPointPending);
        if (!c.confirmed.empty()) {
            EXPECT_EQ(link::formatPattern(b.t().table.record(1).SetPoint, "####0.000"),
                      c.confirmed);
            EXPECT_EQ(b.runner().panel.lblTest.caption, c.confirmed);
            EXPECT_EQ(b.runner().panel.ProgressBar2, c.bar);
        }
    }
}

TEST(ProgramRun, RefusalsSendNothing) {
    struct Case {
        const char* name;
        int commEnabled;
        Rows rows;
        std::string endStep, message, failOpen = ""; // the port's refusal
    };
    const std::string empty = "Program Table is empty!";
    const std::vector<Case> cases = {
        {"set points empty, times filled", 1, rows("/5 /3"), "12", empty},
        {"no step inside End Step", 1, rows("/ 50/1"), "1", empty},
        {"End Step 0", 1, rows("50/1"), "0", empty},
        {"disabled device", 0, rows("50/1"), "12", kDisabled},
        {"port will not open", 1, rows("50/1"), "12", "Port busy", "Port busy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramBench b(0, 0, c.commEnabled);
        b.w->port.failOpenWith = c.failOpen;
        b.run(c.rows, c.endStep);
        EXPECT_EQ(b.closed, !c.failOpen.empty()); // refused in the dialog, which stays open
        EXPECT_EQ(b.w->op.texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(b.lines().empty());
        EXPECT_FALSE(b.runner().running() || b.t().model.fraProg.visible);
        EXPECT_TRUE(b.t().model.menu("mnuFile").enabled);
    }
}

TEST(ProgramRun, LoopRepeatsUntilQuitAndThePanelShowsTheRun) {
    ProgramBench b;
    auto& m = b.t().model;
    bool lockedDuringRun = false;
    std::string title;
    b.w->rt.schedule(1.5, [&] {
        lockedDuringRun = m.fraProg.visible && !m.fraCD.enabled && !m.menu("mnuFile").enabled &&
                          !m.menu("mnuCommands").enabled && !m.toolbar["StartAS"].enabled &&
                          b.runner().panel.chkLoop.visible && b.runner().panel.chkLoop.checked;
        title = m.frmTerminal.caption;
    });
    // Three passes of 1.2 s each, then Quit in the fourth.
    b.w->rt.schedule(3.9, [&] { b.runner().Command1_Click(); });
    b.run({{"10", "0"}, {"20", "1"}}, "12", true);
    EXPECT_TRUE(lockedDuringRun);
    EXPECT_EQ(title, "KVT Control Terminal ...");
    Lines sent = setPoints(b.lines());
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "s,10.0000"), 4);
    EXPECT_FALSE(b.runner().loop || b.runner().running() || m.fraProg.visible ||
                 b.runner().panel.chkLoop.visible);
    EXPECT_FALSE(b.w->port.portOpen());
}

TEST(ProgramRun, UntickingLoopFinishesThePassAndEmptyPassesEndTheRun) {
    {
        ProgramBench b;
        b.w->rt.schedule(0.5, [&] { b.runner().chkLoop_Click(false); });
        b.run({{"10", "0"}, {"20", "1"}}, "12", true);
        Lines sent = setPoints(b.lines());
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "s,10.0000"), 1);
        EXPECT_EQ(sent.back(), "s,20.0000");
    }
    {
        // Nothing runnable while Loop is on: the run ends instead of spinning.
        ProgramBench b;
        b.runner().loop = true;
        b.runner().stepCount = 40; // more than the table holds
        b.runner().start();
        b.w->rt.runFor(2);
        EXPECT_FALSE(b.runner().running() || b.t().model.fraProg.visible);
        EXPECT_TRUE(setPoints(b.lines()).empty());
    }
}

// ----------------------------------------------------------------------------------------------
// Program files

TEST(ProgramFile, ReadingTakesEveryLineForm) {
    struct Case {
        const char* name;
        std::string text;
        Rows first;    // the rows expected at the start
        int emptyFrom; // rows from here on are empty
    };
    std::string thirteen;
    for (int i = 1; i <= 13; ++i)
        thirteen += "\"" + std::to_string(i) + "\",\"1\"\r\n";
    const std::vector<Case> cases = {
        {"CR LF, quoted", "\"50\",\"10\"\r\n\"\",\"\"\r\n\"20\",\"5\"\r\n", rows("50/10 / 20/5"),
         3},
        {"LF only", "\"50\",\"10\"\n\"20\",\"5\"\n", rows("50/10 20/5"), 2},
        {"unquoted", "50,10\r\n20 , 5\r\n", rows("50/10 20/5"), 2},
        {"a quoted comma stays in its text", "\"5,5\",\"1\"\r\n", rows("5,5/1"), 1},
        {"no line end at the end", "\"1\",\"2\"", rows("1/2"), 1},
        {"a line with one field", "\"7\"\r\n", rows("7/"), 1},
        {"empty file", "", {}, 0},
        {"lines after the twelfth are ignored", thirteen, {}, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetPointProgram p = monitor::parseProgramText(c.text);
        for (std::size_t i = 0; i < c.first.size(); ++i)
            EXPECT_EQ(p.rows[i], (monitor::ProgramRow{c.first[i].first, c.first[i].second})) << i;
        for (int i = c.emptyFrom; i < SetPointProgram::kRows; ++i)
            EXPECT_EQ(p.rows[i], monitor::ProgramRow{}) << i;
    }
    EXPECT_EQ(monitor::parseProgramText(thirteen).rows[11].setPoint, "12");
}

TEST(ProgramFile, SaveAndLoadRoundTripThroughTheDialog) {
    ProgramBench b;
    const std::string path = b.w->folder.file("ramp.prg");
    FrmProg d(b.t(), b.runner());
    d.Form_Load();
    d.model.txtSP[0].caption = "50";
    d.model.txtTime[0].caption = "10";
    d.model.txtSP[2].caption = "0.5";
    d.model.txtTime[2].caption = "3";
    b.w->op.choose(path);
    d.cmdSave_Click();
    std::string expected = "\"50\",\"10\"\r\n\"\",\"\"\r\n\"0.5\",\"3\"\r\n";
    for (int i = 3; i < 12; ++i)
        expected += "\"\",\"\"\r\n";
    EXPECT_EQ(test::readFile(path), expected);
    EXPECT_EQ(b.w->op.fileRequests.back().proposedName, b.t().logs().folder() + "/My_Prog1.prg");

    // Loading clears every row first; a second load does not add a second suffix.
    FrmProg e(b.t(), b.runner());
    e.Form_Load();
    for (auto& box : e.model.txtSP)
        box.caption = "9";
    b.w->op.choose(path);
    e.cmdLoad_Click();
    b.w->op.choose(path);
    e.cmdLoad_Click();
    EXPECT_EQ(e.model.txtSP[0].caption + "|" + e.model.txtSP[1].caption + "|" +
                  e.model.txtTime[2].caption + "|" + e.model.txtSP[11].caption,
              "50||3|");
    std::string tail = path.size() > 25 ? path.substr(path.size() - 25) : path;
    EXPECT_EQ(e.model.frmProg.caption, "Program Mode ..." + tail);
    EXPECT_EQ(b.runner().programFile, path);
}

TEST(ProgramFile, RefusalsAndHostErrors) {
    ProgramBench b;
    FrmProg d(b.t(), b.runner());
    d.Form_Load();
    const std::string path = b.w->folder.file("kept.prg");
    { std::ofstream(path) << "old"; }
    struct Case {
        const char* name;
        std::string setPoint;
        std::vector<platform::Answer> answers;
        std::vector<std::optional<std::string>> choices;
        std::string messageStart;
    };
    const std::vector<Case> cases = {
        {"a quote cannot be saved", "5\"0", {}, {}, "Step 1 holds a character"},
        // Cancel to the replace question shows the chooser again; its cancel leaves the file.
        {"replace declined",
         "50",
         {platform::Answer::Cancel},
         {path, std::nullopt},
         "Replace existing file - " + path + "?"},
        {"unwritable folder", "50", {}, {b.w->folder.file("no/such/dir/x.prg")}, "Cannot write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        b.w->op.shown.clear();
        d.model.txtSP[0].caption = c.setPoint;
        for (auto a : c.answers)
            b.w->op.answer(a);
        for (const auto& f : c.choices)
            b.w->op.choose(f);
        d.cmdSave_Click();
        ASSERT_FALSE(b.w->op.texts().empty());
        EXPECT_EQ(b.w->op.texts().front().rfind(c.messageStart, 0), 0u) << b.w->op.texts().front();
        EXPECT_EQ(test::readFile(path), "old");
        EXPECT_EQ(b.w->op.unansweredLeft(), 0u);
    }
    // A file that cannot be read: the host's reason, and the boxes stay as they were.
    b.w->op.shown.clear();
    d.model.txtSP[0].caption = "42";
    b.w->op.choose(b.w->folder.path());
    d.cmdLoad_Click();
    ASSERT_EQ(b.w->op.texts().size(), 1u);
    EXPECT_EQ(b.w->op.texts()[0].rfind("Cannot read", 0), 0u) << b.w->op.texts()[0];
    EXPECT_EQ(d.model.txtSP[0].caption, "42");
}

TEST(ProgramDialog, KeyRules) {
    ProgramBench b;
    FrmProg d(b.t(), b.runner());
    // Key, accepted by txtSP, accepted by txtTime and txtEndStep. A refused key is told, but
    // Enter is consumed quietly.
    const std::tuple<int, bool, bool> cases[] = {{'0', true, true},   {'.', true, false},
                                                 {8, true, true},     {13, false, false},
                                                 {'a', false, false}, {',', false, false}};
    for (const auto& [code, sp, time] : cases) {
        SCOPED_TRACE(code);
        b.w->op.shown.clear();
        EXPECT_EQ(d.txtSP_KeyPress(code), sp);
        EXPECT_EQ(d.txtTime_KeyPress(code), time);
        EXPECT_EQ(d.txtEndStep_KeyPress(code), time);
        const int told = (!sp && code != 13) + 2 * (!time && code != 13);
        EXPECT_EQ(static_cast<int>(b.w->op.shown.size()), told);
    }
    b.w->op.shown.clear();
    d.txtSP_KeyPress('a');
    EXPECT_EQ(b.w->op.texts(),
              Lines{"You can use only numerical characters [0-9]!\r ASCII(97)    Try again!"});
    EXPECT_EQ(FrmProg::keepTypable("1a2.5-\r", false), "125");
}

TEST(ProgramRun, RecorderWritesProgramRecordsWhenDueAndClosingTheMainWindowStopsTheRun) {
    ProgramBench b;
    const std::string path = b.w->folder.file("run.log");
    b.w->op.choose(path);
    b.t().menuClick("mnuFileALogO");
    b.t().logs().startRecorder();
    b.t().Timer5().setInterval(1000);
    b.t().Timer5().start();
    bool closed = false;
    b.w->rt.schedule(3.2, [&] { closed = b.t().Form_QueryUnload(); });
    b.run({{"50", "100"}});
    EXPECT_TRUE(closed && !b.runner().running());
    EXPECT_LT(b.w->rt.now(), 10.0); // not after the 100 s step
    std::string log = test::readFile(path);
    // One record a second, each the device number and the reading.
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    EXPECT_EQ(log.rfind("1     ", 0), 0u) << log;
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}
