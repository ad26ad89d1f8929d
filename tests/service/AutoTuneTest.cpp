#include "service/AutoTune.h"
#include "ServiceTestKit.h"
#include "service/GasTable.h"

KVT_ON_BOTH_LINES(AutoTune);

namespace {

const Lines kLoad{"mw,1000,1", "WRITE,4,N", "v,a", "u,%", "mr,110", "mr,111", "mr,112"};
const Lines kRestore{"V,C", "U,SLPM", "s,0.0"};

void open(ServiceWorld& x, std::function<void(service::AutoTune&)> inside) {
    x.dialogs.autoTune = std::move(inside);
    launch(x, "mnuToolsAutoTune");
}

} // namespace

TEST(AutoTuneStatus, SplitsThreeValuesOnly) {
    // The split parts joined by "|"; "" when refused. In "AT,1,2,3" the comma is not after the
    // fifth character.
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"ATSI,1.5,0.2,0.0", "ATSI|1.5|0.2|0.0"}, {"ATSD 1.250,0.300,0.050", "ATSD|1.250|0.300|0.050"},
        {"ATSI,,,", "ATSI|||"}, {"ATSI,1.5,0.2", ""}, {"", ""}, {"AT,1,2,3", ""}};
    // clang-format on
    for (const auto& [reply, parts] : cases) {
        auto s = service::parseAutoTuneStatus(reply);
        EXPECT_EQ(s ? s->code + "|" + s->p + "|" + s->i + "|" + s->d : "", parts) << reply;
    }
}

// Status replies with too few values are ignored; polling goes on.
TEST_P(AutoTune, TunesUntilDoneAndRestores) {
    ServiceWorld x(GetParam());
    x.dev().scriptFault("at,s", sim::Fault::wrong("ATSI,9.9", 2));
    std::string p0 = x.dev().eeprom(110);
    open(x, [&](service::AutoTune& a) {
        EXPECT_EQ(x.written(), x.lines(kLoad));
        EXPECT_EQ(a.model.Text1[0].caption, p0);
        std::string seen = "?";
        x.at(1.5, [&] { seen = a.model.lblMsg.caption; });
        a.cmdStart_Click();  // returns when the device reports the end
        EXPECT_EQ(seen, ""); // unchanged since Start cleared it
        EXPECT_TRUE(!a.running() && a.model.cmdStart.enabled && !a.model.cmdStop.enabled);
        EXPECT_EQ(a.model.Text1[0].caption,
                  service::parseAutoTuneStatus(x.dev().handle("at,s", x.w.rt.now()))->p);
        EXPECT_EQ(a.model.lblMsg.caption.substr(0, 21), "AutoTune Status: Done");
        EXPECT_EQ(x.written().front(), x.lines({"at,80.00"})[0]);
    });
    EXPECT_EQ(x.written(), x.lines(kRestore));
}

TEST_P(AutoTune, SetPointsModesAndExit) {
    // 0 % and 10 % tune at the lowest, 20 %; in manual mode Start sends the set point, Stop 0; an
    // exit while tuning stops the device first.
    enum Act { Tune, Manual, ExitWhileTuning };
    const std::tuple<int, Act, Lines> cases[] = {
        {1, Tune, Lines{"at,20.00"}},
        {10, Tune, Lines{"at,100.00"}},
        {3, Manual, Lines{"s,30.00", "s,0.0"}},
        {8, ExitWhileTuning, concat({"at,80.00", "AT,STOP"}, kRestore)}};
    for (const auto& [row, act, wire] : cases) {
        SCOPED_TRACE(row);
        ServiceWorld x(GetParam());
        open(x, [&, row = row, act = act, &wire = wire](service::AutoTune& a) {
            x.written();
            a.List1_Click(row);
            a.Option1_Click(act == Manual ? 1 : 0);
            EXPECT_EQ(a.model.cmdStop.enabled, act == Manual);
            if (act == ExitWhileTuning)
                x.at(3.5, [&a] { a.Form_QueryUnload(); });
            a.cmdStart_Click();
            EXPECT_EQ(a.closed(), act == ExitWhileTuning);
            if (act == Manual) {
                EXPECT_EQ(a.model.lblMsg.caption.rfind("Current Set Point:  ", 0), 0u);
                a.cmdStop_Click();
            }
            auto sent = x.written();
            std::erase(sent, x.kind.prefix + "at,s"); // the status polls
            EXPECT_EQ(sent, x.lines(wire));
        });
    }
}

TEST_P(AutoTune, SilentStatusOrRefusedStartEndsWithOneMessage) {
    const std::tuple<const char*, sim::Fault, std::string> rows[] = {
        {"at,s", sim::Fault::silence(), service::kAutoTuneSilentText},
        {"at,80", sim::Fault::wrong("?", 1),
         "Communication Error! Can Not Start AutoTune!\rController may be locked![?]"}};
    for (const auto& [command, fault, text] : rows) {
        SCOPED_TRACE(command);
        ServiceWorld x(GetParam());
        x.dev().scriptFault(command, fault);
        open(x, [&, &text = text](service::AutoTune& a) {
            x.w.op.shown.clear();
            a.cmdStart_Click();
            EXPECT_EQ(x.boxes(), Lines{text});
            EXPECT_TRUE(a.model.cmdStart.enabled && !a.running());
        });
    }
}

// Typed into a box (nullptr: what was loaded), chosen first or not: what goes out, and the box's
// variable afterwards ("" = unchanged). P is written with six decimals; a locked box, pasted junk,
// a control character or a box never read from the device is not written.
TEST_P(AutoTune, PidEnter) {
    const std::tuple<int, const char*, bool, Lines, std::string> cases[] = {
        {0, "2.5", true, Lines{"mw,110,2.500000"}, "2.500000"},
        {0, "2.5", false, Lines{}, ""},
        {0, "2.5x", true, Lines{}, ""},
        {0, "2\r5", true, Lines{}, ""},
        {1, nullptr, true, Lines{}, ""},
    };
    for (const auto& [box, typed, unlocked, wire, value] : cases) {
        SCOPED_TRACE(::testing::Message() << box << " " << (typed ? typed : "loaded"));
        ServiceWorld x(GetParam());
        x.dev().scriptFault("mr,111", sim::Fault::silence(1));
        const int variable = 110 + box;
        auto before = x.dev().eeprom(variable);
        open(x, [&, box = box, typed = typed, unlocked = unlocked,
                 &wire = wire](service::AutoTune& a) {
            EXPECT_EQ(a.model.Text1[1].caption, "0.0");
            x.written();
            if (unlocked)
                a.Option1_Click(1);
            if (typed)
                a.Text1_Change(box, typed);
            EXPECT_FALSE(a.Text1_KeyPress(box, 13)); // Enter is never typed into the box
            EXPECT_EQ(x.written(), x.lines(wire));
        });
        EXPECT_EQ(x.dev().eeprom(variable), value.empty() ? before : value);
    }
}
