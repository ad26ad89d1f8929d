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

TEST_P(SpanSetting, Faults) {
    auto valveOnly = [](ServiceWorld& x) { return x.lines({"mw,1000,1", "v,o"}); };
    {
        SCOPED_TRACE("Cancel closes the valve and writes nothing; a Save before any reading is "
                     "not taken");
        ServiceWorld x(GetParam());
        x.at(0.001, [&] { x.service->span.cmdSave_Click(); });
        x.at(1.5, [&] { x.service->span.Form_QueryUnload(); });
        start(x, "");
        EXPECT_EQ(x.written(), concat(valveOnly(x), x.lines({"Read,7", "Read,7", "v,c"})));
        EXPECT_EQ(x.boxes().size(), 2u); // the two warnings only
    }
    for (const std::string reading : {"SensorComp: 2499", "SensorComp: 3651", "SensorComp: ",
                                      "Sens", "SensorComp: 2500", "SensorComp: 3650"}) {
        SCOPED_TRACE(reading);
        ServiceWorld x(GetParam());
        x.at(1.5, [&] { x.service->span.cmdSave_Click(); });
        start(x, reading);
        const std::string text = reading.size() > 12 ? reading.substr(12) : "";
        if (text == "2500" || text == "3650") {
            EXPECT_EQ(x.dev().eeprom(133), text); // the edges are taken
            continue;
        }
        EXPECT_EQ(x.written(), concat(valveOnly(x), x.lines({"Read,7", "Read,7", "v,c"})));
        EXPECT_EQ(x.boxes().back(), "Reading: [" + text +
                                        "] is out of acceptable range!\r       Span Setting is "
                                        "terminated!");
    }
    {
        SCOPED_TRACE("back door refused: reported, nothing else sent");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("mw,1000,1", sim::Fault::wrong("BackDoorLocked"));
        start(x, "");
        EXPECT_EQ(x.written(), x.lines({"mw,1000,1"}));
        EXPECT_EQ(x.boxes().back(),
                  service::ServiceLink::failureText(service::kSpanHeadline, "[", "BackDoorLocked"));
    }
    {
        SCOPED_TRACE("a silent reading ends it, even after good ones; the valve is still closed");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("Read,7", sim::Fault::wrong("SensorComp: 3000", 2));
        x.dev().scriptFault("Read,7", sim::Fault::silence());
        // Save pressed while the failing reading waits: nothing is written.
        x.at(2.5, [&] { x.service->span.cmdSave_Click(); });
        start(x, "");
        EXPECT_EQ(x.written(),
                  concat(valveOnly(x), x.lines({"Read,7", "Read,7", "Read,7", "v,c"})));
        EXPECT_EQ(x.boxes().back(),
                  service::ServiceLink::failureText(service::kSpanHeadline, "[", ""));
    }
    {
        SCOPED_TRACE("the valve does not confirm closing: reported");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("v,c", sim::Fault::wrong("?"));
        x.at(0.5, [&] { x.service->span.Command1_Click(); });
        start(x, "");
        EXPECT_EQ(x.boxes().back(),
                  service::ServiceLink::failureText(service::kValveHeadline, "   [", "?"));
    }
    {
        SCOPED_TRACE("a time-out part way through the writes stops them; earlier ones stay");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("mw,121,", sim::Fault::silence());
        x.at(0.5, [&] { x.service->span.cmdSave_Click(); });
        start(x, "SensorComp: 3000");
        EXPECT_EQ(x.written().back(), x.kind.prefix + "mw,121,1272");
        EXPECT_EQ(x.dev().eeprom(119), "984");
        EXPECT_EQ(x.boxes().back(),
                  service::ServiceLink::failureText(service::kSpanHeadline, "[", ""));
        EXPECT_TRUE(x.t.model.fraCD.enabled);
    }
}
