#include "ServiceTestKit.h"

#include <algorithm>

KVT_ON_BOTH_LINES(QueryMenu);

namespace {

const char* const kBackDoorMenus[] = {"mnuQueryWrite", "mnuQueryMamory", "mnuQueryUpdate",
                                      "mnuQueryRead"};

bool backDoorMenusEnabled(ServiceWorld& x) {
    return std::ranges::all_of(kBackDoorMenus,
                               [&](const char* m) { return x.t.model.menu(m).enabled; });
}

} // namespace

TEST_P(QueryMenu, EntriesEnabledByRegistrationAndTheBackDoor) {
    ServiceWorld x(GetParam());
    EXPECT_TRUE(x.t.model.menu("mnuQueryMamoryRead").enabled);
    EXPECT_FALSE(backDoorMenusEnabled(x)); // until the back door opens

    launch(x, "mnuQueryBackDoorOpen");
    EXPECT_EQ(x.written(), x.lines({"mw,1000,1"}));
    EXPECT_TRUE(backDoorMenusEnabled(x));
    EXPECT_EQ(x.w.op.shown.at(0).defaultButton, 1); // No

    x.click("mnuQueryBackDoorClose");
    EXPECT_EQ(x.written(), x.lines({"mw,1000,0"}));
    EXPECT_FALSE(x.dev().backDoorOpen() || backDoorMenusEnabled(x));

    // Any other answer leaves the menus as they are.
    x.dev().scriptFault("mw,1000,1", sim::Fault::wrong("?"));
    launch(x, "mnuQueryBackDoorOpen");
    EXPECT_FALSE(backDoorMenusEnabled(x));
    x.w.op.answer(Answer::No);
    x.click("mnuQueryBackDoorOpen");
    EXPECT_EQ(x.written(), x.lines({"mw,1000,1"})); // only the first; No sends nothing
}

TEST_P(QueryMenu, TypedCommandsGoOutUnchanged) {
    // Menu, typed text, body sent ("" = nothing), further checks.
    const std::tuple<const char*, std::string, const char*, std::function<void(ServiceWorld&)>>
        rows[] = {
            {"mnuQueryMamoryRead", "1", "mr,1",
             [](ServiceWorld& x) {
                 EXPECT_EQ(
                     x.t.model.sbrStatus["Status"].text,
                     "Status: " + std::string(x.kind.line == sim::LineMode::Rs232 ? "" : "1A: ") +
                         x.dev().eeprom(1));
             }},
            {"mnuQueryMamoryWrite", "20,abc", "mw,20,abc", nullptr},
            {"mnuQueryWriteValveOut", "5000x", "write,2,5000x", nullptr}, // the device decides
            {"mnuQueryWriteAnalogOut", "", "",                            // Cancel
             [](ServiceWorld& x) {
                 EXPECT_EQ(x.w.op.prompts,
                           Lines{"Write to the Analog Output DAC[1]|Enter new value "
                                 "of the Analog Output in counts (0-4095): "});
             }},
            {"mnuQueryUpdateDisable", "", "write,4,d",
             [](ServiceWorld& x) {
                 x.click("mnuQueryUpdateEnable");
                 EXPECT_EQ(x.written(), x.lines({"write,4,n"}));
             }},
            {"mnuQueryMamoryWrite", "5\rmw,1000,0",
             "", // a control character: refused
             [](ServiceWorld& x) { EXPECT_EQ(x.boxes(), Lines{service::kControlCharacterText}); }},
        };
    for (const auto& [menu, typed, body, check] : rows) {
        SCOPED_TRACE(menu + (" " + typed));
        ServiceWorld x(GetParam());
        x.openBackDoor();
        x.t.setMenuEnabled("mnuQueryMamory", true);
        x.t.setMenuEnabled("mnuQueryWrite", true);
        x.w.op.type(typed);
        x.click(menu);
        x.w.rt.runFor(0.5);
        EXPECT_EQ(x.written(), x.lines(ServiceWorld::words(body)));
        if (check)
            check(x);
    }
}

// Started just before midnight: the interval holds across it.
TEST_P(QueryMenu, RepeatingReadingPacedByRepliesUntilCancel) {
    ServiceWorld x(GetParam(), 86400.0 - 1.5);
    x.openBackDoor();
    auto& win = x.service->cancelWindow;
    bool shownAndLocked = false;
    x.at(0.5, [&] {
        shownAndLocked = win.frmCancelSend.visible && !x.t.model.fraCD.enabled &&
                         !x.t.model.menu("mnuQueryMamoryRead").enabled;
        x.click("mnuQueryMamoryRead"); // a second procedure cannot start meanwhile
    });
    x.at(3.5, [&] { win.cmdCancel_Click(); });
    x.click("mnuQueryReadSensorComp");

    EXPECT_TRUE(shownAndLocked);
    // Sends at 0, 1, 2 and 3 s; Cancel at 3.5 s stops before the next.
    EXPECT_EQ(x.written(), x.lines({"Read,7", "Read,7", "Read,7", "Read,7"}));
    EXPECT_EQ(win.Label1.caption.rfind("Sensor Compensated - SensorComp: ", 0), 0u)
        << win.Label1.caption;
    EXPECT_TRUE(!win.frmCancelSend.visible && x.t.model.fraCD.enabled &&
                x.t.model.menu("mnuQueryMamoryRead").enabled);
    x.w.rt.runFor(5);
    EXPECT_TRUE(x.written().empty());
}

TEST_P(QueryMenu, RepeatingReadingFaults) {
    {
        SCOPED_TRACE("three time-outs in a row end the reading with one message of its own");
        ServiceWorld x(GetParam());
        x.openBackDoor();
        x.dev().scriptFault("Read,5", sim::Fault::silence());
        x.click("mnuQueryReadAnalogO");
        EXPECT_EQ(x.written(), x.lines({"Read,5", "Read,5", "Read,5"}));
        EXPECT_EQ(x.boxes(), Lines{service::kReadingStoppedText});
        EXPECT_TRUE(x.t.model.fraCD.enabled && !x.service->cancelWindow.frmCancelSend.visible);
    }
    {
        SCOPED_TRACE("a time-out between replies does not count towards three");
        ServiceWorld x(GetParam());
        x.openBackDoor();
        x.dev().scriptFault("Read,5", sim::Fault::silence(2));
        x.dev().scriptFault("Read,5", sim::Fault::wrong("x", 1));
        x.dev().scriptFault("Read,5", sim::Fault::silence(2));
        x.at(15, [&] { x.service->cancelWindow.cmdCancel_Click(); });
        x.click("mnuQueryReadAnalogO");
        EXPECT_TRUE(x.boxes().empty());
    }
    {
        SCOPED_TRACE("a late reply delays the next send: it never overtakes its answer");
        ServiceWorld x(GetParam());
        x.openBackDoor();
        x.dev().scriptFault("Read,2", sim::Fault::late(2.5));
        x.at(5.9, [&] { x.service->cancelWindow.cmdCancel_Click(); });
        x.click("mnuQueryReadSenAvarage");
        // Each time-out is followed by a quiet second for the late reply to land in.
        auto sent = x.written();
        EXPECT_EQ(sent, x.lines(Lines(sent.size(), "Read,2")));
        EXPECT_LE(sent.size(), 3u);
        EXPECT_NE(x.service->cancelWindow.Label1.caption.find("Sensor Average - "),
                  std::string::npos);
    }
    {
        SCOPED_TRACE("closing the window during a wait ends the loop once the reply is in");
        ServiceWorld x(GetParam());
        x.openBackDoor();
        x.at(0.001, [&] { x.service->cancelWindow.Form_QueryUnload(); });
        x.click("mnuQueryReadValveOut");
        EXPECT_EQ(x.written(), x.lines({"Read,6"}));
        EXPECT_FALSE(x.t.engine().awaitingReply || x.service->cancelWindow.frmCancelSend.visible);
    }
    {
        SCOPED_TRACE("a port that will not open stops before anything is shown");
        ServiceWorld x(GetParam());
        x.w.port.failOpenWith = "Port busy";
        x.click("mnuQueryReadAnalogI");
        EXPECT_TRUE(x.written().empty());
        EXPECT_FALSE(x.service->cancelWindow.frmCancelSend.visible);
        EXPECT_EQ(x.boxes(), Lines{"Port busy"});
    }
}

TEST(QueryMenuRs485, RefusedWithoutAValidAddress) {
    for (const char* address : {"", "00", "G1", "1"}) {
        SCOPED_TRACE(address);
        ServiceWorld x(kRs485);
        x.openBackDoor();
        x.t.table.record(1).Address = address;
        x.click("mnuQueryUpdateDisable");
        x.click("mnuQueryReadAnalogO");
        EXPECT_TRUE(x.written().empty());
        EXPECT_EQ(x.boxes(), Lines(2, service::kNoAddressText));
    }
}
