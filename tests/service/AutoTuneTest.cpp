#include "service/AutoTune.h"
#include "ServiceTestKit.h"
#include "service/GasTable.h"

KVT_ON_BOTH_LINES(AutoTune);

namespace {

const Lines kLoad{"mw,1000,1", "WRITE,4,N", "v,a", "u,%", "mr,110", "mr,111", "mr,112"};
const Lines kRestore{"V,C", "U,SLPM", "s,0.0"};

void open(ServiceWorld& x, std::function<void(service::AutoTune&)> inside) {
    x.t.table.record(1).ValveMode = 0;
    x.t.table.record(1).EngUnit = 1;
    x.dialogs.autoTune = std::move(inside);
    x.w.op.answer(Answer::Yes);
    x.click("mnuToolsAutoTune");
}

Lines withoutStatus(const Lines& wire, const std::string& prefix) {
    Lines out;
    for (const auto& l : wire)
        if (l != prefix + "at,s")
            out.push_back(l);
    return out;
}

} // namespace

TEST(AutoTuneStatus, SplitsThreeValuesOnly) {
    // The split parts joined by "|"; "" when refused. In "AT,1,2,3" the comma is not after the
    // fifth character.
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"ATSI,1.5,0.2,0.0", "ATSI|1.5|0.2|0.0"}, {"ATSD 1.250,0.300,0.050", "ATSD|1.250|0.300|0.050"},
        {"ATSI,,,", "ATSI|||"}, {"ATSI,1.5,0.2", ""}, {"ATSI,1.5", ""}, {"ATSI", ""}, {"", ""},
        {"AT,1,2,3", ""}};
    // clang-format on
    for (const auto& [reply, parts] : cases) {
        auto s = service::parseAutoTuneStatus(reply);
        EXPECT_EQ(s ? s->code + "|" + s->p + "|" + s->i + "|" + s->d : "", parts) << reply;
    }
}

TEST_P(AutoTune, TunesUntilDoneAndRestores) {
    ServiceWorld x(GetParam());
    std::string p0 = x.dev().eeprom(110);
    open(x, [&](service::AutoTune& a) {
        EXPECT_EQ(x.written(), x.lines(kLoad));
        EXPECT_EQ(a.model.Text1[0].caption, p0);
        EXPECT_EQ(a.model.lblMsg.caption, service::kAutoTunePrompt);
        a.cmdStart_Click(); // returns when the device reports the end
        EXPECT_TRUE(!a.running() && a.model.cmdStart.enabled && a.model.List1.enabled);
        EXPECT_FALSE(a.model.cmdStop.enabled);
        EXPECT_EQ(a.model.Text1[0].caption,
                  service::parseAutoTuneStatus(x.dev().handle("at,s", x.w.rt.now()))->p);
        EXPECT_EQ(a.model.lblMsg.caption.substr(0, 21), "AutoTune Status: Done");
        auto wire = x.written();
        EXPECT_EQ(wire.front(), x.lines({"at,80.00"})[0]);
    });
    EXPECT_EQ(x.written(), x.lines(kRestore));
    EXPECT_FALSE(x.dev().autoTuning());
}

TEST_P(AutoTune, SetPointsAndModes) {
    struct Case {
        const char* name;
        int row;
        bool manual;
        Lines wire;
    };
    const std::vector<Case> cases{
        {"0 % tunes at the lowest 20 %", 0, false, {"at,20.00"}},
        {"10 % likewise", 1, false, {"at,20.00"}},
        {"100 %", 10, false, {"at,100.00"}},
        {"manual mode sends a set point and Stop brings it to 0", 3, true, {"s,30.00", "s,0.0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceWorld x(GetParam());
        open(x, [&](service::AutoTune& a) {
            x.written();
            a.List1_Click(c.row);
            a.Option1_Click(c.manual ? 1 : 0);
            EXPECT_EQ(a.model.cmdStop.enabled, c.manual);
            a.cmdStart_Click();
            if (c.manual) {
                EXPECT_EQ(a.model.lblMsg.caption.rfind("Current Set Point:  ", 0), 0u);
                EXPECT_EQ(a.model.locked, (std::array<bool, 3>{false, false, false}));
                a.cmdStop_Click();
                EXPECT_EQ(a.model.lblMsg.caption, "");
            }
            EXPECT_EQ(withoutStatus(x.written(), x.kind.prefix), x.lines(c.wire));
        });
    }
}

TEST_P(AutoTune, ExitWhileTuningStopsTheDeviceFirst) {
    ServiceWorld x(GetParam());
    open(x, [&](service::AutoTune& a) {
        x.written();
        x.at(3.5, [&a] { a.Form_QueryUnload(); });
        a.cmdStart_Click();
        EXPECT_TRUE(a.closed());
    });
    auto wire = withoutStatus(x.written(), x.kind.prefix);
    EXPECT_EQ(wire, x.lines(concat({"at,80.00", "AT,STOP"}, kRestore)));
    EXPECT_FALSE(x.dev().autoTuning());
}

TEST_P(AutoTune, StatusFaults) {
    {
        SCOPED_TRACE("a status reply with too few values is ignored; polling goes on");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("at,s", sim::Fault::wrong("ATSI,9.9", 2));
        open(x, [&](service::AutoTune& a) {
            std::vector<std::string> seen;
            x.at(1.5, [&] { seen.push_back(a.model.lblMsg.caption); });
            a.cmdStart_Click();
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0], ""); // unchanged since Start cleared it
            EXPECT_EQ(a.model.Text1[0].caption.find("9.9"), std::string::npos);
            EXPECT_EQ(a.model.lblMsg.caption.substr(0, 21), "AutoTune Status: Done");
        });
    }
    {
        SCOPED_TRACE("three silent status requests end the polling with one message");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("at,s", sim::Fault::silence());
        open(x, [&](service::AutoTune& a) {
            x.w.op.shown.clear();
            a.cmdStart_Click();
            EXPECT_EQ(x.boxes(), Lines{service::kAutoTuneSilentText});
            EXPECT_TRUE(a.model.cmdStart.enabled && !a.running());
        });
    }
    {
        SCOPED_TRACE("a refused start changes nothing");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("at,80", sim::Fault::wrong("?", 1));
        open(x, [&](service::AutoTune& a) {
            a.cmdStart_Click();
            EXPECT_TRUE(a.model.cmdStart.enabled);
            EXPECT_EQ(x.boxes().back(),
                      "Communication Error! Can Not Start AutoTune!\rController may be locked![?]");
        });
    }
}

TEST_P(AutoTune, PidEnter) {
    struct Case {
        const char* name;
        const char* typed;
        bool unlocked; // the box for P was chosen first
        Lines wire;
        std::string p; // variable 110 afterwards, "" = unchanged
    };
    const std::vector<Case> cases{
        {"typed 2.5 is written with six decimals", "2.5", true, {"mw,110,2.500000"}, "2.500000"},
        {"a locked box does nothing", "2.5", false, {}, ""},
        {"pasted junk is refused", "2.5x", true, {}, ""},
        {"a control character is refused", "2\r5", true, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceWorld x(GetParam());
        auto before = x.dev().eeprom(110);
        open(x, [&](service::AutoTune& a) {
            x.written();
            if (c.unlocked)
                a.Option1_Click(1);
            a.Text1_Change(0, c.typed);
            EXPECT_FALSE(a.Text1_KeyPress(0, 13)); // Enter is never typed into the box
            EXPECT_EQ(x.written(), x.lines(c.wire));
        });
        EXPECT_EQ(x.dev().eeprom(110), c.p.empty() ? before : c.p);
    }
}

TEST_P(AutoTune, UnreadBoxIsNotWrittenBack) {
    ServiceWorld x(GetParam());
    x.dev().scriptFault("mr,111", sim::Fault::silence(1));
    auto before = x.dev().eeprom(111);
    open(x, [&](service::AutoTune& a) {
        EXPECT_EQ(a.model.Text1[1].caption, "0.0");
        x.written();
        a.Option1_Click(1);
        a.Text1_KeyPress(1, 13); // "0.0" was never read from the device
        EXPECT_TRUE(x.written().empty());
    });
    EXPECT_EQ(x.dev().eeprom(111), before);
}
