#include "monitor/DeviceCommands.h"
#include "MonitorFixtures.h"
#include "monitor/FrmDProp.h"
#include "monitor/TerminalMenus.h"

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

using namespace kvt;
using namespace kvt::testing;
using kvt::platform::Answer;
using kvt::platform::Buttons;
using kvt::platform::Icon;

namespace {

using World = DeviceWorld;

// The operator types `text` into the entry's prompt.
void enter(World& x, const char* menu, const std::string& text) {
    x.w.op.type(text);
    x.t.menuClick(menu);
}

using Step = std::function<void(World&)>;
using R = config::DeviceRecord;
using S = config::DeviceStatus;

template <typename C> C& of(World& x) {
    if constexpr (std::is_same_v<C, R>)
        return x.rec();
    else
        return x.status();
}
// Steps of a row: set a field of the record or status before, check one after.
template <typename C, typename T, typename V> Step set(T C::*field, V value) {
    return [=](World& x) { of<C>(x).*field = static_cast<T>(value); };
}
template <typename C, typename T, typename V> Step is(T C::*field, V value) {
    return [=](World& x) { EXPECT_EQ(of<C>(x).*field, static_cast<T>(value)); };
}
// The device answers `text` (null: nothing) to `body`, after `then` has set up the record.
Step answering(const char* body, const char* text, Step then = nullptr) {
    return [=](World& x) {
        if (then)
            then(x);
        text ? x.answer(body, text) : x.silence({{body, 9}});
    };
}
// Two setup steps as one.
Step both(Step a, Step b) {
    return [=](World& x) {
        a(x);
        b(x);
    };
}
Step valveIs(int mode) {
    return [=](World& x) {
        EXPECT_EQ(x.rec().ValveMode, mode);
        EXPECT_EQ(x.t.model.cboValveS.listIndex, mode);
    };
}

struct Row {
    std::string menu;
    Step before;
    std::string bodies; // commands without prefix, separated by spaces
    std::string label;  // information label the entry sets, or ""
    std::string text;
    Step after;
    const char* told = nullptr; // what the operator is told
};

std::vector<Row> simpleRows() {
    const char* mode = "Input Mode          :   ";
    const char* valve = "Valve Mode         :   ";
    const char* totalizer = "Totalizer Mode    :   ";
    const char* kFactor = "K Factor (N2)      :   ";
    const char* autoZero = "Auto Zero            :   ";
    auto txt = [](const char* prefix, const char* rest) { return std::string(prefix) + rest; };
    std::vector<Row> rows = {
        {"mnuCommandsFlow", set(&S::Flow, -1), "f", "", "", is(&S::Flow, 0)},
        {"mnuCommandModeAnalog", set(&R::InputMode, 1), "m,a", "lblMode", txt(mode, "Analog"),
         is(&R::InputMode, 0)},
        {"mnuCommandModeDigital", nullptr, "m,d", "lblMode", txt(mode, "Digital"),
         is(&R::InputMode, 1)},
        // Only a digital answer is digital; no answer at all changes nothing.
        {"mnuCommandsModeStatus", answering("m,s", "XYZ", set(&R::InputMode, 1)), "m,s", "lblMode",
         txt(mode, "Analog"), is(&R::InputMode, 0)},
        {"mnuCommandsModeStatus", answering("m,s", nullptr, set(&R::InputMode, 1)), "m,s", "", "",
         is(&R::InputMode, 1), "No connection!"},
        {"mnuCommandValveClose", set(&R::ValveMode, 1), "v,c", "lblValveMode", txt(valve, "Close"),
         valveIs(0)},
        {"mnuCommandsValveAuto", nullptr, "v,a", "lblValveMode", txt(valve, "Auto"), valveIs(1)},
        {"mnuCommandValveOpen", nullptr, "v,o", "lblValveMode", txt(valve, "Open (Purge)"),
         valveIs(2)},
        {"mnuCommandValveStatus", set(&R::ValveMode, 2), "v,s", "lblValveMode", txt(valve, "Close"),
         valveIs(0)},
        {"mnuOptionsAlarmStatus", set(&S::AlarmState, 2), "a,s", "", "", is(&S::AlarmState, 0)},
        {"mnuOptionsAlarmEnable", both(set(&R::AlarmHigh, 4), set(&R::AlarmLow, 1.5)),
         "a,h,4 a,l,1.5", "lblAlarmMode", "Alarm Mode         :   Enabled",
         is(&R::AlarmEnabled, 1)},
        // The second command goes only after the first was accepted, and the second decides too.
        {"mnuOptionsAlarmEnable", answering("a,h,2", "A?"), "a,h,2", "", "",
         is(&R::AlarmEnabled, 0)},
        {"mnuOptionsAlarmEnable", answering("a,l,2", "XL"), "a,h,2 a,l,2", "", "",
         is(&R::AlarmEnabled, 0)},
        {"mnuOptionsAlarmDisable", set(&R::AlarmEnabled, 1), "a,d", "lblAlarmMode",
         "Alarm Mode         :   Disabled", is(&R::AlarmEnabled, 0)},
        {"mnuOptionsTotalRead", set(&S::Total, -1), "t,r", "", "", is(&S::Total, 0)},
        // The stop condition follows the start.
        {"mnuOptionsTotalStartNow",
         both(set(&R::TotalizerStopTotal, 500), set(&R::TotalizerAction, 1)), "t,s,n t,p,t,500,C",
         "lblTotalizerMode", txt(totalizer, "Enabled"), is(&R::TotalizerEnabled, 1)},
        {"mnuOptionsTotalStartFlow",
         both(set(&R::TotalizerStopTotal, 0), set(&R::TotalizerStartFlow, 7.5)), "t,s,f,7.5",
         "lblTotalizerMode", txt(totalizer, "Enabled"), is(&R::TotalizerEnabled, 1)},
        // A refused start still sends the stop condition.
        {"mnuOptionsTotalStartFlow", answering("t,s,f,10", "XX", set(&R::TotalizerStopTotal, 500)),
         "t,s,f,10 t,p,t,500,N", "", "", is(&R::TotalizerEnabled, 0)},
        {"mnuOptionsTotalStopNow", answering("t,s,f,-0.1", "T", set(&R::TotalizerEnabled, 1)),
         "t,s,f,-0.1", "", "", is(&R::TotalizerEnabled, 1)},
        {"mnuOptionsTotalStopNow", set(&R::TotalizerEnabled, 1), "t,s,f,-0.1 t,p,n",
         "lblTotalizerMode", txt(totalizer, "Disabled"), is(&R::TotalizerEnabled, 0)},
        {"mnuOptionsTotalDisable", set(&R::TotalizerEnabled, 1), "t,d", "lblTotalizerMode",
         txt(totalizer, "Disabled"), is(&R::TotalizerEnabled, 0)},
        {"mnuOptionKFactorDisable", set(&R::KFactorSource, 2), "k,d", "lblKfactor",
         txt(kFactor, "Disabled (K=1)"), is(&R::KFactorSource, 2)},
        {"mnuOptionsKFactorEnableI", set(&R::KFactorIndex, 7), "k,i,7", "lblKfactor",
         txt(kFactor, "KI7"), is(&R::KFactorSource, 0)},
        {"mnuOptionsKFactorEnableU", set(&R::UserKFactor, 0.75), "k,e,0.75", "lblKfactor",
         txt(kFactor, "KE0.75"), nullptr},
        {"mnuOptionsTimerRead", nullptr, "c,r", "", "", nullptr},
        {"mnuDeviceAutoZeroDisable", set(&S::AutoZeroState, 1), "z,d", "lblAutoZero",
         txt(autoZero, "Disabled"), is(&S::AutoZeroState, 0)},
        {"mnuDeviceAutoZeroEnable", set(&S::AutoZeroState, 0), "z,e", "lblAutoZero",
         txt(autoZero, "Enabled"), is(&S::AutoZeroState, 1)},
        {"mnuDeviceAutoZeroSave", nullptr, "z,w", "", "", nullptr},
        // A unit the device refuses changes nothing.
        {"mnuOptionsEU_SCFH", answering("u,scfh", "?"), "u,scfh", "", "", is(&R::EngUnit, 1)},
        {"mnuDeviceAutoZeroStatus", nullptr, "z,s", "", "",
         [](World& x) {
             // Not waited for, yet shown when it comes.
             EXPECT_NE(x.t.model.sbrStatus["Status"].text.find("ZE"), std::string::npos);
         }},
    };
    const struct {
        const char *menu, *body, *name, *suffix;
    } units[] = {
        {"mnuOptionsEU_FS", "u,%", "%F.S.", " %FS*sec."},
        {"mnuOptionsEU_SLPM", "u,slpm", "SLPM", "  L"},
        {"mnuOptionsEU_SLPH", "u,slph", "SLPH", "  L"},
        {"mnuOptionsEU_mLPM", "u,mlpm", "mLPM", "  mL"},
        {"mnuOptionsEU_mLPH", "u,mlph", "mLPH", "  mL"},
        {"mnuOptionsEU_SCFH", "u,scfh", "SCFH", "  CF"},
        {"mnuOptionsEU_SCFM", "u,scfm", "SCFM", "  CF"},
        {"mnuOptionsEU_LBPH", "u,lbph", "LBPH", "  LB"},
        {"mnuOptionsEU_LBPM", "u,lbpm", "LBPM", "  LB"},
        {"mnuOptionsEU_USER", "u,ud,2.5,S", "USER", " USER"},
    };
    for (int index = 0; index < 10; ++index) {
        const auto u = units[index];
        rows.push_back({u.menu,
                        [index](World& x) {
                            // Every row starts from another unit, so each one changes the field.
                            x.rec().EngUnit = index == 1 ? 2 : 1;
                            x.rec().UserEuFactor = 2.5;
                            x.rec().TotalizerStopTotal = 1250.5;
                        },
                        u.body, "lblEngUnit", std::string("Engineering Unit  :   ") + u.name,
                        [index, u](World& x) {
                            EXPECT_EQ(x.rec().EngUnit, index);
                            EXPECT_EQ(x.t.model.lblEU.caption, u.name);
                            EXPECT_EQ(x.info("lblTotStop"),
                                      std::string("    Stop Volume    :   1250.5") + u.suffix);
                        }});
    }
    return rows;
}

} // namespace

TEST(DeviceCommands, EachEntrySendsItsBodyAndFollowsTheAnswer) {
    for (const LineKind& mode : {kRs232, kRs485}) {
        for (const Row& row : simpleRows()) {
            SCOPED_TRACE(mode.prefix + row.menu);
            World x(mode);
            if (row.before)
                row.before(x);
            if (!row.label.empty())
                x.t.model.info[row.label].caption.clear();
            ASSERT_TRUE(x.t.saveTable());
            x.t.menuClick(row.menu);
            x.w.rt.runFor(0.5); // answers that are not waited for
            EXPECT_EQ(x.written(), x.lines(World::words(row.bodies)));
            EXPECT_EQ(row.label.empty() ? "" : x.info(row.label), row.text);
            if (row.after)
                row.after(x);
            // Whatever changed is in setup.dat, and nothing is left pending.
            EXPECT_EQ(x.saved(), x.rec());
            EXPECT_FALSE(x.t.engine().tableChanged);
            EXPECT_EQ(x.w.op.texts(), row.told ? Lines{row.told} : Lines{});
        }
    }
}

TEST(DeviceCommands, SameUnitUpdatesPanelsWithoutRewritingSetup) {
    World x(kRs232);         // in SLPM
    x.rec().Name = "Marker"; // unsaved: shows whether setup.dat was written
    x.t.model.info["lblEngUnit"].caption = "";
    x.t.menuClick("mnuOptionsEU_SLPM");
    EXPECT_EQ(x.written(), (Lines{"u,slpm"}));
    EXPECT_EQ(x.info("lblEngUnit"), "Engineering Unit  :   SLPM");
    EXPECT_EQ(x.setupText().find("Marker"), std::string::npos);
}

TEST(DeviceCommands, EntriesSendWhatTheOperatorTyped) {
    World x(kRs485);
    enter(x, "mnuOptionsGasTable", "3");
    EXPECT_EQ(x.written(), x.lines({"g,2", "MR,100"}));
    EXPECT_EQ(x.w.op.prompts.back(), "Gas Table Selection|Enter number of the Gas Table [1-10]:");
    EXPECT_EQ(x.info("lblGas"), "Gas Table (1-10)  :   3   Argon");
    EXPECT_EQ(nums(x.rec().GasTable, x.saved().GasTable), nums(2, 2));

    enter(x, "mnuCommandsSetPoint", "12,5");
    EXPECT_EQ(x.written(), x.lines({"s,12.5"}));
    EXPECT_EQ(x.w.op.prompts.back(), "Transmit Set Point|Enter New Value of Set Point in SLPM");
    EXPECT_EQ(nums(x.rec().SetPoint, x.saved().SetPoint), nums(12.5, 12.5));
    EXPECT_TRUE(x.w.op.shown.empty());
}

TEST(DeviceCommands, EntriesRefusedHereOrByTheDeviceChangeNothing) {
    struct Case {
        const char* menu;
        std::string typed;
        Lines bodies;     // sent; the device answers "?" to them
        const char* told; // why the operator was stopped, or ""
    };
    const Case cases[] = {
        {"mnuOptionsGasTable", "11", {"g,10"}, ""}, // no gas name is read
        {"mnuOptionsGasTable", "", {}, ""},
        {"mnuOptionsGasTable", "2.5", {}, "not a number"},
        {"mnuOptionsGasTable", "1e9", {}, "not a number"},
        {"mnuCommandsSetPoint", "20", {"s,20"}, ""},
        {"mnuCommandsSetPoint", "  ", {}, ""},
        {"mnuCommandsSetPoint", "12a", {}, "not a number"},
        // setup.dat could not read it back.
        {"mnuCommandsSetPoint", "1.7976931348623157e308", {}, "out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.menu) + " " + c.typed);
        World x(kRs232);
        const auto before = x.rec();
        if (!c.bodies.empty())
            x.answer(c.bodies[0], "?");
        enter(x, c.menu, c.typed);
        EXPECT_EQ(x.written(), c.bodies);
        EXPECT_EQ(x.rec(), before);
        EXPECT_EQ(x.saved(), before);
        const std::string told = "\"" + c.typed + "\" is " + c.told + ".";
        EXPECT_EQ(x.w.op.texts(), *c.told ? Lines{told} : Lines{});
        for (const auto& shown : x.w.op.shown)
            EXPECT_EQ(boxOf(shown), (Box{told, kSystemMonitor, Buttons::Ok, Icon::Information}));
    }
}

TEST(DeviceCommands, ResetsAskFirst) {
    const struct {
        const char *menu, *question, *body;
    } cases[] = {
        {"mnuOptionsTotalReset",
         "WARNING: This will Reset Totalizer to Zero!\r    Do you want to Rset Totalizer?    ",
         "t,z"},
        {"mnuOptionsTimerReset",
         "WARNING: This will Reset Maintenance Timer to Zero!\r    Do you want to Reset "
         "Maintenance Timer?    ",
         "c,c"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.menu);
        World x(kRs485);
        x.status().Total = 5;
        x.w.op.answer(Answer::No);
        x.t.menuClick(c.menu);
        EXPECT_TRUE(x.written().empty());
        ASSERT_EQ(x.w.op.shown.size(), 1u);
        EXPECT_EQ(boxOf(x.w.op.shown[0]),
                  (Box{c.question, kSystemMonitor, Buttons::YesNo, Icon::Exclamation}));
        EXPECT_EQ(x.w.op.shown[0].defaultButton, 1); // No

        x.w.op.answer(Answer::Yes);
        x.t.menuClick(c.menu);
        EXPECT_EQ(x.written(), (Lines{std::string("!1A,") + c.body}));
        EXPECT_EQ(x.status().Total, c.body == std::string("t,z") ? 0 : 5);
    }
}

TEST(DeviceCommands, ValveSelector) {
    World x(kRs232);
    // Moved by the operator: one upper-case command, and the selector ends where the device is.
    x.t.cboValveS_Click(1);
    x.w.rt.runFor(3);
    EXPECT_EQ(x.written(), (Lines{"V,A"}));
    EXPECT_EQ(nums(x.t.model.cboValveS.listIndex, x.rec().ValveMode), nums(1, 1));

    // Refused: the selector goes back to the stored mode.
    x.answer("V,O", "VX");
    x.t.cboValveS_Click(2);
    EXPECT_EQ(x.written(), (Lines{"V,O"}));
    EXPECT_EQ(nums(x.t.model.cboValveS.listIndex, x.rec().ValveMode), nums(1, 1));

    // The port will not open: told, nothing sent, selector back.
    ASSERT_TRUE(x.t.ports().portToggle()); // close
    x.w.port.failOpenWith = "Port not found";
    x.t.cboValveS_Click(0);
    EXPECT_TRUE(x.written().empty());
    EXPECT_EQ(x.w.op.texts(), (Lines{"Port not found"}));
    EXPECT_EQ(x.t.model.cboValveS.listIndex, 1);
}

TEST(DeviceCommands, EmptyTableStartsQuietlySendsNothingAndLocksTheEditor) {
    TerminalWorld w(sim::LineMode::Rs232, {});
    auto& t = w.start();
    EXPECT_FALSE(w.port.portOpen() || t.loading);
    EXPECT_EQ(t.model.sbrStatus1["Total"].text, "Total in System: 0");
    for (const auto& node : monitor::terminalMenuTree()) {
        const std::string& n = node.name;
        bool deviceEntry = n.rfind("mnuCommand", 0) == 0 || n.rfind("mnuOption", 0) == 0 ||
                           n.rfind("mnuDeviceAutoZero", 0) == 0 ||
                           n.rfind("mnuDeviceSinhronize", 0) == 0;
        if (deviceEntry && n != "mnuAutoS" && n != "mnuAutoM" && n != "mnuCommProg")
            t.menuClick(n);
    }
    t.cboValveS_Click(2);
    EXPECT_TRUE(w.takeWritten().empty() && w.op.prompts.empty());

    // The editor's fields stay locked until a device is added.
    monitor::FrmDProp d(t);
    d.Form_Load();
    EXPECT_FALSE(d.model.txtName.enabled || d.model.cboEUnit.enabled);
    d.txtName_Change("x");
    d.cboEUnit_Click(3);
    d.cmdRemuve_Click();
    d.cmdTSetZero_Click();
    EXPECT_TRUE(w.op.shown.empty());
    w.op.type("1");
    w.op.type("01");
    d.cmdAdd_Click();
    EXPECT_TRUE(d.model.txtName.enabled);
    d.cmdOK_Click();
    EXPECT_EQ(t.model.cboCurUnit.items, Lines{"1"});
    w.rt.runUntilIdle(60);
    EXPECT_TRUE(w.takeWritten().empty()); // a new device has nothing edited to send
}
