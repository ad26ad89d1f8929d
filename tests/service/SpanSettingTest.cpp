#include "service/SpanSetting.h"
#include "ServiceTestKit.h"

KVT_ON_BOTH_LINES(SpanSetting);

namespace {

// The writes of a table built from `counts`, in order.
Lines tableWrites(int counts) {
    auto table = service::SpanSetting::tableFor(counts);
    Lines out{"mw,113,120", "mw,114,0.0"};
    const char* fractions[] = {"0.1", "0.2", "0.3", "0.4", "0.5",
                               "0.6", "0.7", "0.8", "0.9", "1.0"};
    for (int k = 0; k < 10; ++k) {
        out.push_back("mw," + std::to_string(115 + 2 * k) + "," + std::to_string(table[k]));
        out.push_back("mw," + std::to_string(116 + 2 * k) + "," + fractions[k]);
    }
    return out;
}

// Starts span setting past both warnings, with the device reading `reading` on channel 7.
void start(ServiceWorld& x, const std::string& reading) {
    if (!reading.empty())
        x.dev().scriptFault("Read,7", sim::Fault::wrong(reading));
    x.w.op.answer(Answer::Yes);
    launch(x, "mnuToolsSetSpan");
}

} // namespace

TEST(SpanTable, StepRoundsHalfAwayFromZero) {
    const std::pair<int, int> rows[] = {{2500, 238}, {3625, 351}, {3000, 288}, {3650, 353}};
    for (auto [counts, step] : rows) {
        auto t = service::SpanSetting::tableFor(counts);
        EXPECT_EQ(t[9], counts);
        EXPECT_EQ(t[8], counts - step) << counts;
        EXPECT_EQ(t[0], counts - 9 * step) << counts;
    }
    auto t = service::SpanSetting::tableFor(3000);
    EXPECT_EQ(std::vector<int>(t.begin(), t.end()),
              (std::vector<int>{408, 696, 984, 1272, 1560, 1848, 2136, 2424, 2712, 3000}));
}

TEST_P(SpanSetting, SaveWritesTheRebuiltTableAndClosesTheValve) {
    ServiceWorld x(GetParam());
    auto& win = x.service->spanWindow;
    bool shown = false, locked = false, progressShown = false;
    x.at(0.5, [&] {
        shown = win.frmSetSpan.visible;
        locked = !x.t.model.fraCD.enabled && !x.t.model.menu("mnuToolsSetSpan").enabled;
    });
    x.at(2.5, [&] { x.service->span.cmdSave_Click(); });
    x.at(10.0, [&] { progressShown = x.t.model.frmProgressBar.visible; });
    start(x, "SensorComp: 3000");

    EXPECT_EQ(x.written(), x.lines(concat({"mw,1000,1", "v,o", "Read,7", "Read,7", "Read,7", "v,c"},
                                          tableWrites(3000))));
    EXPECT_TRUE(shown && locked && progressShown);
    EXPECT_FALSE(x.t.model.frmProgressBar.visible || win.frmSetSpan.visible);
    EXPECT_TRUE(x.t.model.fraCD.enabled);
    EXPECT_EQ(x.service->link.gasTableCounts[0], 408);
    EXPECT_EQ(x.boxes().back(), "Span Setting is Successively  Completed!");
    EXPECT_NE(win.Label1.caption.find("SensorComp: 3000"), std::string::npos);
}

// Each case ends with the valve closed and the terminal unlocked.
TEST_P(SpanSetting, Faults) {
    using Faults = std::vector<std::pair<std::string, sim::Fault>>;
    // lastBox "": the two warnings only; a time of 0: not pressed.
    auto check = [&](const char* name, const Faults& faults, double saveAt, double cancelAt,
                     const Lines& wire, const std::string& lastBox) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        for (const auto& [command, fault] : faults)
            x.dev().scriptFault(command, fault);
        if (saveAt > 0)
            x.at(saveAt, [&] { x.service->span.cmdSave_Click(); });
        if (cancelAt > 0)
            x.at(cancelAt, [&] { x.service->span.Command1_Click(); });
        start(x, "");
        EXPECT_EQ(x.written(), x.lines(wire));
        EXPECT_EQ(x.boxes().size() == 2 ? "" : x.boxes().back(), lastBox);
        EXPECT_TRUE(x.t.model.fraCD.enabled);
    };
    auto reading = [](const std::string& r) { return Faults{{"Read,7", sim::Fault::wrong(r)}}; };
    auto range = [](const std::string& t) {
        return "Reading: [" + t +
               "] is out of acceptable range!\r       Span Setting is terminated!";
    };
    const Lines open{"mw,1000,1", "v,o", "Read,7"}, twoReads = concat(open, {"Read,7", "v,c"});
    const std::string lost = failure(service::kSpanHeadline, "[", "");
    const std::string done = "Span Setting is Successively  Completed!";
    check("Cancel writes nothing; a Save before any reading is not taken", {}, 0.001, 1.5, twoReads,
          "");
    check("below the window", reading("SensorComp: 2499"), 1.5, 0, twoReads, range("2499"));
    check("above the window", reading("SensorComp: 3651"), 1.5, 0, twoReads, range("3651"));
    check("no number", reading("SensorComp: "), 1.5, 0, twoReads, range(""));
    check("a short reply", reading("Sens"), 1.5, 0, twoReads, range(""));
    for (int edge : {2500, 3650})
        check("an edge is taken", reading("SensorComp: " + std::to_string(edge)), 1.5, 0,
              concat(twoReads, tableWrites(edge)), done);
    check("back door refused: nothing else sent",
          {{"mw,1000,1", sim::Fault::wrong("BackDoorLocked")}}, 0, 0, {"mw,1000,1"},
          failure(service::kSpanHeadline, "[", "BackDoorLocked"));
    check("a silent reading ends it after good ones; a Save while it waits writes nothing",
          {{"Read,7", sim::Fault::wrong("SensorComp: 3000", 2)}, {"Read,7", sim::Fault::silence()}},
          2.5, 0, concat(open, {"Read,7", "Read,7", "v,c"}), lost);
    check("the valve does not confirm closing", {{"v,c", sim::Fault::wrong("?")}}, 0, 0.5,
          concat(open, {"v,c"}), failure(service::kValveHeadline, "   [", "?"));
    Lines cut = concat(concat(open, {"v,c"}), tableWrites(3000));
    cut.resize(cut.size() - 13); // up to mw,121
    check("a time-out part way through the writes stops them",
          {{"Read,7", sim::Fault::wrong("SensorComp: 3000")}, {"mw,121,", sim::Fault::silence()}},
          0.5, 0, cut, lost);
}
