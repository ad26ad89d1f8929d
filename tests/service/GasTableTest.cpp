#include "service/GasTable.h"
#include "ServiceTestKit.h"
#include "service/ServiceText.h"

KVT_ON_BOTH_LINES(GasTable);

namespace {

const Lines kPrepare{"mw,1000,1", "WRITE,4,N", "v,a", "u,%"};

Lines tableReads() {
    Lines out;
    for (int v = 133; v >= 115; v -= 2)
        out.push_back("mr," + std::to_string(v));
    for (int v = 134; v >= 116; v -= 2)
        out.push_back("mr," + std::to_string(v));
    return out;
}

Lines editReads() {
    Lines out{"mr,1"};
    for (int v = 100; v <= 109; ++v)
        out.push_back("mr," + std::to_string(v));
    return out;
}

// Valve mode 0 and unit SLPM in the record.
const Lines kRestore{"V,C", "U,SLPM", "s,0.0"};

void openCL(ServiceWorld& x, int valve, int unit,
            std::function<void(service::CalibrateCL&)> inside) {
    x.t.table.record(1).ValveMode = valve;
    x.t.table.record(1).EngUnit = unit;
    x.dialogs.closeLoop = std::move(inside);
    launch(x, "mnuToolsCalibrateCL");
}

void openEdit(ServiceWorld& x, std::function<void(service::EditGasTable&)> inside) {
    x.dialogs.editGas = std::move(inside);
    launch(x, "mnuToolsEditGasInfo");
}

// Types `text` into a box and presses Enter.
template <typename D> void enterCounts(D& d, int row, const std::string& text) {
    d.Text2_Change(row, text);
    d.Text2_KeyPress(row, 13);
}
template <typename D> void enterFlow(D& d, int row, const std::string& text) {
    d.Text1_Change(row, text);
    d.Text1_KeyPress(row, 13);
}

} // namespace

// Stored counts off the bar leave it off; moves during a write are merged and sent after it. On
// exit the record's valve mode and user unit are restored; a failed step is reported and the others
// still go out.
TEST_P(GasTable, CloseLoopLoadsTrimsAndRestores) {
    ServiceWorld x(GetParam());
    x.dev().scriptFault("V,O", sim::Fault::wrong("VC", 1));
    x.t.table.record(1).UserEuFactor = 2.5;
    x.dev().handle("mw,133,50", x.w.rt.now());
    std::string lowFraction = x.dev().eeprom(116);
    openCL(x, 2, 9, [&](service::CalibrateCL& c) {
        EXPECT_EQ(c.model.Text2[0].caption, "50");
        EXPECT_EQ(c.model.Text1[9].caption, service::formatHalfUp(std::stod(lowFraction) * 100, 1));
        c.Option1_Click(0);
        EXPECT_FALSE(c.model.VScroll1.enabled);
        c.VScroll1_Change(4095); // a bar that is off writes nothing
        x.written();
        c.Option1_Click(9);
        enterCounts(c, 9, "300");
        EXPECT_EQ(c.model.VScroll1.value, 300);
        c.Option1_Click(2);
        x.dev().scriptFault("mw,129", sim::Fault::late(0.5, 1));
        x.at(0.1, [&c] { c.VScroll1_Change(1500); });
        x.at(0.2, [&c] { c.VScroll1_Change(1600); });
        x.at(0.3, [&c] { c.Option1_Click(3); }); // refused: a write is in flight
        enterCounts(c, 2, "1400");
        EXPECT_EQ(c.model.selected, 2);
        EXPECT_EQ(c.model.Text2[2].caption, "1600");
        EXPECT_EQ(x.written(),
                  x.lines({"s," + c.model.Text1[9].caption, "mw,115,300",
                           "s," + c.model.Text1[2].caption, "mw,129,1400", "mw,129,1600"}));
    });
    EXPECT_EQ(x.written(), x.lines({"V,O", "UD,2.5", "s,0.0"}));
    EXPECT_EQ(x.boxes(),
              (Lines{x.boxes().at(0),
                     failure("Communication Error! Can not control Valve!", "   [", "VC")}));
    EXPECT_EQ(x.dev().eeprom(133), "50");
    EXPECT_EQ(x.service->link.gasTableCounts[0], 50);
}

TEST_P(GasTable, CloseLoopLoadFaults) {
    using Faults = std::vector<std::pair<std::string, sim::Fault>>;
    // `wire` up to the valve selection; `boxes` after the launch question.
    auto check = [&](const char* name, const Faults& faults, const Lines& wire, bool loaded,
                     std::size_t boxes) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        for (const auto& [cmd, f] : faults)
            x.dev().scriptFault(cmd, f);
        auto before = x.service->link.gasTableCounts;
        bool rowsOff = false;
        openCL(x, 0, 1, [&](service::CalibrateCL& cl) {
            rowsOff = !cl.model.Option1[0].enabled && !cl.model.VScroll1.enabled;
            cl.Option1_Click(0); // nothing happens on rows that were not loaded
            cl.VScroll1_Change(500);
        });
        Lines after = loaded ? Lines{"V,A", "s,100.0", "mw,133,500"} : Lines{"V,A"};
        EXPECT_EQ(x.written(), x.lines(concat(concat(wire, after), kRestore)));
        EXPECT_EQ(rowsOff, !loaded);
        EXPECT_EQ(x.boxes().size(), 1 + boxes);
        EXPECT_TRUE(loaded || x.service->link.gasTableCounts == before);
    };
    check("closed back door: no message, rows empty",
          {{"mw,1000,1", sim::Fault::wrong("BackDoorEnabled: N", 1)}}, {"mw,1000,1"}, false, 0);
    check("one failure among update and valve is tolerated", {{"v,a", sim::Fault::wrong("VC", 1)}},
          concat(kPrepare, tableReads()), true, 1);
    check("two failures stop before the units",
          {{"WRITE,4,N", sim::Fault::wrong("?", 1)}, {"v,a", sim::Fault::wrong("VC", 1)}},
          {"mw,1000,1", "WRITE,4,N", "v,a"}, false, 2);
    check("a refused unit always stops: the rows would run at the wrong flow",
          {{"u,%", sim::Fault::wrong("USLPM", 1)}}, kPrepare, false, 1);
    // "No connection!" and the termination.
    check("a silent read stops with the rows part filled", {{"mr,129", sim::Fault::silence(1)}},
          concat(kPrepare, {"mr,133", "mr,131", "mr,129"}), false, 2);
    check("a count that is no 16-bit number stops too", {{"mr,131", sim::Fault::wrong("99999", 1)}},
          concat(kPrepare, {"mr,133", "mr,131"}), false, 1);
}

TEST_P(GasTable, CloseLoopTypedValuesAndReplies) {
    // `box`: 'c' counts, 'f' flow, 'k' a key pressed in the flow box; row 1 is selected.
    auto check = [&](const char* name, std::function<void(ServiceWorld&)> prepare, char box,
                     int row, const char* typed, const char* wire, const Lines& boxes) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        if (prepare)
            prepare(x);
        openCL(x, 0, 1, [&](service::CalibrateCL& cl) {
            cl.Option1_Click(1);
            x.written();
            x.w.op.shown.clear();
            if (box == 'k')
                EXPECT_FALSE(cl.Text1_KeyPress(row, typed[0]));
            else if (box == 'c')
                enterCounts(cl, row, typed);
            else
                enterFlow(cl, row, typed);
            EXPECT_EQ(x.written(), x.lines(ServiceWorld::words(wire)));
            EXPECT_EQ(x.boxes(), boxes);
        });
    };
    const Lines counts = {service::kCountsRangeText}, flow = {service::kFlowRangeText};
    check("counts below the bar", nullptr, 'c', 1, "119", "", counts);
    check("counts above the bar", nullptr, 'c', 1, "4096", "", counts);
    check("a control character is refused", nullptr, 'c', 1, "2000\r", "",
          Lines{service::kControlCharacterText});
    check("the counts echo must be exact", faultOn("mw,131", sim::Fault::wrong("MW,131,2001", 1)),
          'c', 1, "2000", "mw,131,2000",
          Lines{failure(service::kEepromNotUpdated, "   [", "MW,131,2001")});
    check("flow zero", nullptr, 'f', 1, "0", "", flow);
    check("a letter is swallowed with the digits box", nullptr, 'k', 1, "a", "",
          Lines{service::numbersOnlyText('a')});
    check("Enter in a row that is not selected does nothing", nullptr, 'c', 2, "2000", "", Lines{});
    check("flow write needs MW", faultOn("mw,132", sim::Fault::silence(1)), 'f', 1, "12.5",
          "mw,132,0.125", Lines{"No connection!", failure(service::kEepromNotUpdated, "   [", "")});
}

TEST_P(GasTable, EditLoadsAndSaves) {
    ServiceWorld x(GetParam());
    Lines saved;
    openEdit(x, [&](service::EditGasTable& e) {
        EXPECT_EQ(x.written(), x.lines(editReads()));
        e.Text2_Change(0, "SN-42");
        e.Text2_Change(6, "Argon");
        saved.push_back("MW,1,SN-42");
        for (int box = 1; box <= 10; ++box)
            saved.push_back("MW," + std::to_string(99 + box) + "," + e.model.Text2[box].caption);
        double t0 = x.w.rt.now();
        e.cmdSave_Click();
        EXPECT_GE(x.w.rt.now() - t0, 10.0); // a pause after each gas variable
        EXPECT_TRUE(e.closed());
    });
    EXPECT_EQ(x.written(), x.lines(saved));
    EXPECT_EQ(x.boxes().back(), service::kGasTableSaved);
}

TEST_P(GasTable, EditFaults) {
    // `typed` into box 3; `lastBox` "": the launch question only.
    auto check = [&](const char* name, std::function<void(ServiceWorld&)> prepare,
                     const char* typed, bool cancel, std::size_t writes, std::string lastBox) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        if (prepare)
            prepare(x);
        openEdit(x, [&](service::EditGasTable& e) {
            x.written();
            if (typed)
                e.Text2_Change(3, typed);
            cancel ? e.cmdCancel_Click() : e.cmdSave_Click();
        });
        EXPECT_EQ(x.written().size(), writes);
        EXPECT_EQ(x.boxes().back(), lastBox.empty() ? x.boxes().front() : lastBox);
        EXPECT_FALSE(x.service->link.busy());
    };
    check("a silent read: Save would overwrite the names with blanks",
          faultOn("mr,105", sim::Fault::silence(1)), nullptr, false, 0,
          service::kGasTableIncompleteText);
    check("a control character in a box is refused", nullptr, "20\r\nmw,1000,0", false, 0,
          service::kControlCharacterText);
    check("a refused write stops the save there", faultOn("MW,103", sim::Fault::wrong("E", 1)),
          nullptr, false, 5, failure(service::kGasTableSaveTerminated, "   [", "E"));
    check("Cancel sends nothing", nullptr, nullptr, true, 0, "");
}
