#include "ServiceTestKit.h"
#include "service/CalibrateAD.h"

using Table = service::ValveTable::Table;

KVT_ON_BOTH_LINES(ValveTable);

namespace {

Lines loadLines() {
    Lines out{"mw,1000,1"};
    for (int i = 40; i <= 58; i += 2)
        out.push_back("mr," + std::to_string(i));
    return out;
}

Lines saveLines(const Table& t) {
    Lines out;
    for (int k = 0; k < 10; ++k)
        out.push_back("MW," + std::to_string(40 + 2 * k) + "," + std::to_string(t[k]));
    return out;
}

void open(ServiceWorld& x, std::function<void(service::ValveTable&)> inside) {
    x.dialogs.valve = std::move(inside);
    launch(x, "mnuToolsValveTable");
}

std::vector<int> ints(const Table& t) {
    return {t.begin(), t.end()};
}

} // namespace

TEST(ValveTableGenerate, TopStepAndClamp) {
    EXPECT_EQ(ints(service::ValveTable::generate(2500)),
              (std::vector<int>{0, 1800, 1950, 2100, 2250, 2400, 2550, 2700, 2850, 3000}));
    auto t = service::ValveTable::generate(999); // top 1199 (1198.8), step 100
    EXPECT_EQ(t[9], 1199);
    EXPECT_EQ(t[1], 399);
    EXPECT_EQ(service::ValveTable::generate(1667)[9], 2000); // 2000.4: step 150
    EXPECT_EQ(service::ValveTable::generate(2501)[8], 2801); // top 3001: step 200
    // 4095 gives top 4914: a 12-bit converter takes no more than 4095.
    t = service::ValveTable::generate(4095);
    EXPECT_EQ(ints(t), (std::vector<int>{0, 3314, 3514, 3714, 3914, 4095, 4095, 4095, 4095, 4095}));
}

// Editing sends nothing; Enter in the adjustment box sends the value and the bar's move sends it
// again; a second Start sends 2000 again although the bar already stands there.
TEST_P(ValveTable, EditAdjustReadyAndSave) {
    ServiceWorld x(GetParam());
    bool adjusting = false;
    open(x, [&](service::ValveTable& v) {
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(v.table()[k], std::stoi(x.dev().eeprom(40 + 2 * k)));
        // Row -1: none chosen.
        const std::tuple<int, std::string, bool> rows[] = {
            {0, "5", false}, {-1, "5", false}, {9, "4095", true}, {5, "4096", false}};
        for (const auto& [row, typed, changes] : rows) {
            SCOPED_TRACE(typed);
            if (row >= 0)
                v.List1_Click(row);
            else
                v.model.List1.listIndex = -1;
            v.Text1_Change(typed);
            Table want = v.table();
            if (changes)
                want[row] = std::stoi(typed);
            v.cmdEdit_Click();
            EXPECT_EQ(v.table(), want);
            EXPECT_TRUE(!changes || v.model.List1.items[row] == typed);
        }
        EXPECT_FALSE(v.Text1_KeyPress(13)); // Enter is no digit here
        EXPECT_TRUE(v.Text1_KeyPress('4'));
        EXPECT_EQ(x.written(), x.lines(loadLines()));

        v.cmdStart_Click();
        v.Text2_Change("3000");
        EXPECT_FALSE(v.Text2_KeyPress(13));
        v.Text2_Change("5000");
        v.Text2_KeyPress(13); // refused: beyond the bar
        v.cmdCancel_Click();
        v.VScroll1_Change(2000); // not adjusting: no write
        v.cmdStart_Click();
        adjusting = v.model.Frame2.visible && !v.model.Frame1.visible && v.updateDisabled() &&
                    x.dev().updateDisabled() && !v.model.cmdSave.enabled;
        v.VScroll1_Change(2500); // the operator
        v.cmdReady_Click();
        v.cmdSave_Click();
        EXPECT_TRUE(v.closed());
    });
    EXPECT_TRUE(adjusting);
    EXPECT_EQ(x.written(), x.lines(concat(ServiceWorld::words("v,a WRITE,4,D WRITE,2,2000 "
                                                              "WRITE,2,3000 WRITE,2,3000 WRITE,4,N "
                                                              "v,a WRITE,4,D WRITE,2,2000 "
                                                              "WRITE,2,2500 WRITE,4,N"),
                                          saveLines(service::ValveTable::generate(2500)))));
    EXPECT_EQ(x.boxes(),
              (Lines{x.boxes()[0], service::numbersOnlyText(13), service::kValveRangeText,
                     "Valve Table has been Saved. Click OK."}));
    EXPECT_TRUE(x.t.model.fraCD.enabled);
}

TEST_P(ValveTable, Faults) {
    // `start`: press Start once loaded, else try to save; `wire` after loading when Start is
    // pressed; `lastBox` "": the launch question only.
    auto check = [&](const char* name, const char* command, sim::Fault fault, bool start,
                     const char* wire, const std::string& lastBox) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        x.dev().scriptFault(command, fault);
        open(x, [&](service::ValveTable& v) {
            if (start) {
                x.written();
                v.cmdStart_Click();
                EXPECT_FALSE(v.model.Frame2.visible);
            } else {
                EXPECT_FALSE(v.tableComplete() || v.model.cmdSave.enabled);
                v.cmdSave_Click();
            }
        });
        EXPECT_EQ(x.written(), x.lines(ServiceWorld::words(wire)));
        EXPECT_EQ(x.boxes().back(), lastBox.empty() ? x.boxes().front() : lastBox);
    };
    const std::string lost = failure(service::kValveTableHeadline, "   [", "");
    check("a silent read stops loading; the partial table cannot be saved", "mr,46",
          sim::Fault::silence(), false, "mw,1000,1 mr,40 mr,42 mr,44 mr,46", lost);
    check("a value that is no 16-bit number stops loading too", "mr,50", sim::Fault::wrong("99999"),
          false, "mw,1000,1 mr,40 mr,42 mr,44 mr,46 mr,48 mr,50",
          failure(service::kValveTableHeadline, "   [", "99999"));
    check("back door refused: nothing loaded, no message", "mw,1000,1",
          sim::Fault::wrong("BackDoorEnabled: N"), false, "mw,1000,1", "");
    check("a lost reply to WRITE,4,D: reported, and updating switched back on", "WRITE,4,D",
          sim::Fault::silence(), true, "v,a WRITE,4,D WRITE,4,N",
          failure(service::kCalibrationHeadline, "[", ""));
    {
        SCOPED_TRACE("Ready with counts out of range keeps the table; Exit in adjustment "
                     "switches updating on; closing while Start waits is honoured after it");
        ServiceWorld x(GetParam());
        open(x, [&](service::ValveTable& v) {
            Table before = v.table();
            x.written();
            v.cmdStart_Click();
            v.VScroll1_Change(998);
            v.cmdReady_Click();
            EXPECT_EQ(v.table(), before);
            v.cmdStart_Click();
            v.cmdExit_Click();
        });
        Lines wire = x.written();
        open(x, [&](service::ValveTable& v) {
            x.written();
            x.at(0.001, [&v] { v.Form_QueryUnload(); });
            v.cmdStart_Click();
            EXPECT_TRUE(v.closed());
        });
        EXPECT_EQ(concat(wire, x.written()),
                  x.lines(ServiceWorld::words(
                      "v,a WRITE,4,D WRITE,2,2000 WRITE,2,998 WRITE,4,N v,a WRITE,4,D "
                      "WRITE,2,2000 WRITE,4,N v,a")));
        EXPECT_EQ(x.boxes()[1], "Valve Counts Must be in the Range [999 - 4095]!\r Valve Output: "
                                "(998)    Try again!");
    }
    {
        SCOPED_TRACE("a close during the save is refused; a failed write stops it there");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("MW,48", sim::Fault::wrong("?"));
        open(x, [&](service::ValveTable& v) {
            x.written();
            x.at(1.5, [&v] { v.Form_QueryUnload(); });
            v.cmdSave_Click();
            EXPECT_FALSE(v.closed() || v.model.ProgBar1.visible);
        });
        auto sent = x.written();
        EXPECT_EQ(sent.size(), 5u);
        EXPECT_EQ(sent.back(), x.kind.prefix + "MW,48," + x.dev().eeprom(48));
        EXPECT_EQ(x.boxes().back(), failure(service::kValveTableHeadline, "   [", "?"));
    }
}
