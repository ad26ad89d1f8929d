#include "ServiceTestKit.h"
#include "service/SpanSetting.h"

KVT_ON_BOTH_LINES(ZeroAdjust);

namespace {

// Opens the dialog past its warning; `inside` runs once it is shown.
void open(ServiceWorld& x, std::function<void(service::ZeroAdjust&)> inside) {
    x.dialogs.zeroMan = std::move(inside);
    launch(x, "mnuToolsZeroAdj");
}

const Lines kLoad = {"mw,1000,1", "V,C", "Read,4"};

} // namespace

TEST_P(ZeroAdjust, MovesTheZeroWatchesTheSensorAndSaves) {
    ServiceWorld x(GetParam());
    x.t.table.record(1).ValveMode = 1; // restored to Auto afterwards
    const int deviceZero = x.dev().dac(0);
    std::string loaded, sensor;
    open(x, [&](service::ZeroAdjust& z) {
        loaded = std::to_string(z.model.VScroll1.value) + " " + z.model.Text1.caption;
        x.at(0.1, [&] { z.VScroll1_Change(2100); });
        x.at(4.0, [&] {
            sensor = z.model.Label1.caption;
            z.cmdSave_Click();
        });
    });
    // Read at load, the bar moved without a write.
    EXPECT_EQ(loaded, std::to_string(deviceZero) + " " + std::to_string(deviceZero));
    EXPECT_FALSE(sensor.empty() || sensor == "120");
    // The poll starts 1.5 s after load and reads every 2 s; Save waits 2 s before the valve.
    EXPECT_EQ(x.written(), x.lines(concat(kLoad, {"WRITE,0,2100", "read,2", "z,w", "V,A"})));
}

TEST_P(ZeroAdjust, TypedZeroAndMergedMoves) {
    // What the operator does; what is sent after loading, before the valve; the boxes.
    using Act = std::function<void(ServiceWorld&, service::ZeroAdjust&)>;
    const std::tuple<const char*, Act, Lines, Lines> rows[] = {
        {"Enter sends the typed zero, then the bar's move sends it again",
         [](ServiceWorld&, service::ZeroAdjust& z) {
             z.Text1_Change("1999");
             EXPECT_FALSE(z.Text1_KeyPress(13));
             EXPECT_EQ(z.model.VScroll1.value, 1999);
         },
         Lines{"write,0,1999", "WRITE,0,1999"}, Lines{}},
        {"letters and out-of-range values are refused with nothing sent",
         [](ServiceWorld&, service::ZeroAdjust& z) {
             EXPECT_FALSE(z.Text1_KeyPress('a'));
             EXPECT_TRUE(z.Text1_KeyPress('7'));
             EXPECT_TRUE(z.Text1_KeyPress(8));
             z.Text1_Change("4096");
             z.Text1_KeyPress(13);
         },
         Lines{}, Lines{service::numbersOnlyText('a'), service::kZeroRangeText}},
        {"moves during a write are merged: the latest goes out after the reply",
         [](ServiceWorld& x, service::ZeroAdjust& z) {
             x.at(0.001, [&] {
                 z.VScroll1_Change(2000);
                 z.VScroll1_Change(2010);
                 z.VScroll1_Change(2020);
             });
             x.at(0.0005, [&] { z.VScroll1_Change(1990); });
         },
         Lines{"WRITE,0,1990", "WRITE,0,2020"}, Lines{}},
    };
    for (const auto& [name, act, sent, boxes] : rows) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        open(x, [&, &act = act](service::ZeroAdjust& z) {
            x.at(0.0002, [&, zp = &z] {
                act(x, *zp);
                x.at(1.0, [zp] { zp->cmdExit_Click(); });
            });
        });
        EXPECT_EQ(x.written(), x.lines(concat(concat(kLoad, sent), {"V,C"})));
        EXPECT_EQ(x.boxes(), concat({service::kZeroWarning}, boxes));
    }
}

TEST_P(ZeroAdjust, Faults) {
    {
        SCOPED_TRACE("a wrong valve reply is reported and the dialog goes on");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("V,C", sim::Fault::wrong("?"));
        x.t.table.record(1).ValveMode = 2;
        open(x, [&](service::ZeroAdjust& z) { x.at(0.5, [&z] { z.cmdExit_Click(); }); });
        EXPECT_EQ(x.written(), x.lines(concat(kLoad, {"V,O"})));
        EXPECT_EQ(x.boxes()[1], failure(service::kValveHeadline, "   [", "?"));
    }
    for (const char* zero : {"ZeroDAC:4096", "ZeroDAC:-1", "ZeroDAC:", "Zero"}) {
        SCOPED_TRACE(zero);
        ServiceWorld x(GetParam());
        x.dev().scriptFault("Read,4", sim::Fault::wrong(zero));
        open(x, [&](service::ZeroAdjust& z) {
            EXPECT_EQ(z.model.Text1.caption, "0");
            EXPECT_EQ(z.model.VScroll1.value, 2047);
            x.at(0.5, [&z] { z.cmdExit_Click(); });
        });
    }
    // Closing is honoured once the waiting reading's reply is in; the first read,2 goes out at
    // 3.5 s and the poll keeps its pace across midnight.
    const std::tuple<const char*, double, double, int, Lines> polls[] = {
        {"three silent readings end the poll with one message", 10 * 3600.0, 20.0, 3,
         Lines{service::kZeroWarning, service::kZeroSilentText}},
        {"closing while a reading waits", 10 * 3600.0, 3.502, 1, Lines{service::kZeroWarning}},
        {"across midnight", 86400.0 - 2.0, 8.0, 3, Lines{service::kZeroWarning}},
    };
    for (const auto& [name, startTimeOfDay, closeAt, reads, boxes] : polls) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam(), startTimeOfDay);
        if (boxes.size() > 1)
            x.dev().scriptFault("read,2", sim::Fault::silence());
        open(x, [&, at = closeAt](service::ZeroAdjust& z) {
            x.at(at, [&z] { z.Form_QueryUnload(); });
        });
        EXPECT_EQ(x.written(), x.lines(concat(concat(kLoad, Lines(reads, "read,2")), {"V,C"})));
        EXPECT_EQ(x.boxes(), boxes);
        EXPECT_FALSE(x.t.engine().awaitingReply);
    }
    {
        SCOPED_TRACE("No at the warning opens nothing");
        ServiceWorld x(GetParam());
        x.w.op.answer(Answer::No);
        x.click("mnuToolsZeroAdj");
        EXPECT_TRUE(x.written().empty());
        EXPECT_EQ(x.dialogs.zeroManShown, 0);
    }
}
