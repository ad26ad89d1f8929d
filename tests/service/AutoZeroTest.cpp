#include "ServiceTestKit.h"

KVT_ON_BOTH_LINES(AutoZero);

// Started just before midnight: the poll keeps its pace across it.
TEST_P(AutoZero, PollsUntilTheDeviceReportsTheEnd) {
    ServiceWorld x(GetParam(), 86400.0 - 3.0);
    x.t.comMonitor = true;
    bool propertiesBefore = x.t.model.toolbar["Properties"].enabled;
    std::string caption;
    bool locked = false;
    auto& w = x.service->autoZeroWindow;
    x.at(3.0, [&] {
        caption = x.t.model.frmTerminal.caption;
        locked = !x.t.model.fraCD.visible && !x.t.model.menu("mnuFileExit").enabled &&
                 !x.t.model.toolbar["Properties"].enabled && w.frmAutoZeroIP.visible &&
                 w.cmdCancel.visible;
        x.click("mnuDeviceAutoZeroDoNow"); // a second start is not possible
    });
    launch(x, "mnuDeviceAutoZeroDoNow");

    // Zeroing takes 4 s: "z,s" at 2 s and 4 s report it running, 6 s reports it done.
    EXPECT_EQ(x.written(), x.lines({"z,n", "z,s", "z,s", "z,s"}));
    EXPECT_EQ(caption, "KVT Control Terminal - Zeroing Device");
    EXPECT_TRUE(locked);
    EXPECT_EQ(x.w.op.shown.size(), 1u);

    EXPECT_EQ(w.Label1.caption, service::kAutoZeroDone);
    EXPECT_TRUE(w.CmdOK.visible && w.frmAutoZeroIP.visible);
    EXPECT_FALSE(x.t.engine().autoZeroWait);
    EXPECT_EQ(x.t.model.frmTerminal.caption, "KVT Control Terminal");
    EXPECT_TRUE(x.t.model.fraCD.visible && x.t.model.fraSendR.visible);
    EXPECT_TRUE(x.t.model.menu("mnuFileExit").enabled);
    EXPECT_EQ(x.t.model.toolbar["Properties"].enabled, propertiesBefore);

    x.service->autoZero.Form_QueryUnload(); // closing it now is OK
    EXPECT_FALSE(w.frmAutoZeroIP.visible);
}

// Each case ends with the window gone, no zero awaited and the terminal as before (monitor off).
TEST_P(AutoZero, Faults) {
    auto check = [&](const char* name, Answer answer, bool silent, double closeAt,
                     const Lines& wire, const Lines& boxes) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        if (silent)
            x.dev().scriptFault("z,s", sim::Fault::silence());
        if (closeAt > 0)
            x.at(closeAt, [&] { x.service->autoZero.Form_QueryUnload(); });
        x.w.op.answer(answer);
        x.click("mnuDeviceAutoZeroDoNow");
        x.w.rt.runFor(5);
        EXPECT_EQ(x.written(), x.lines(wire));
        EXPECT_EQ(x.boxes(), concat({x.boxes().at(0)}, boxes)); // the question first
        EXPECT_FALSE(x.service->autoZeroWindow.frmAutoZeroIP.visible || x.t.engine().autoZeroWait ||
                     x.t.engine().awaitingReply);
        EXPECT_EQ(x.t.model.frmTerminal.caption, "KVT Control Terminal");
        EXPECT_TRUE(x.t.model.fraCD.visible && !x.t.model.fraSendR.visible &&
                    x.t.model.menu("mnuFileExit").enabled);
    };
    check("No sends nothing", Answer::No, false, 0, {}, {});
    check("three silent status requests end the poll with one message", Answer::Yes, true, 0,
          {"z,n", "z,s", "z,s", "z,s"}, {service::kAutoZeroSilentText});
    check("closing the window while a status request waits", Answer::Yes, false, 2.005,
          {"z,n", "z,s"}, {});
}
