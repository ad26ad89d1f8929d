#include "ServiceTestKit.h"

KVT_ON_BOTH_LINES(AutoZero);

// Started just before midnight: the poll keeps its pace across it.
TEST_P(AutoZero, PollsUntilTheDeviceReportsTheEnd) {
    ServiceWorld x(GetParam(), 86400.0 - 3.0);
    x.t.comMonitor = true;
    bool propertiesBefore = x.t.model.toolbar["Properties"].enabled;
    std::string caption;
    bool locked = false;
    x.at(3.0, [&] {
        auto& w = x.service->autoZeroWindow;
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

    auto& w = x.service->autoZeroWindow;
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

TEST_P(AutoZero, Faults) {
    {
        SCOPED_TRACE("No sends nothing and shows the frames again; the monitor only if it is on");
        ServiceWorld x(GetParam());
        x.w.op.answer(Answer::No);
        x.click("mnuDeviceAutoZeroDoNow");
        EXPECT_TRUE(x.written().empty());
        EXPECT_TRUE(x.t.model.fraCD.visible && !x.t.model.fraSendR.visible);
    }
    {
        SCOPED_TRACE("three silent status requests end the poll with one message");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("z,s", sim::Fault::silence());
        launch(x, "mnuDeviceAutoZeroDoNow");
        EXPECT_EQ(x.written(), x.lines({"z,n", "z,s", "z,s", "z,s"}));
        EXPECT_EQ(x.boxes(), (Lines{x.boxes().at(0), service::kAutoZeroSilentText}));
        EXPECT_FALSE(x.service->autoZeroWindow.frmAutoZeroIP.visible);
        EXPECT_FALSE(x.t.engine().autoZeroWait);
        EXPECT_EQ(x.t.model.frmTerminal.caption, "KVT Control Terminal");
    }
    {
        SCOPED_TRACE("Cancel, or closing the window, while a status request waits");
        ServiceWorld x(GetParam());
        x.at(2.005, [&] { x.service->autoZero.Form_QueryUnload(); });
        launch(x, "mnuDeviceAutoZeroDoNow");
        EXPECT_EQ(x.written(), x.lines({"z,n", "z,s"}));
        EXPECT_FALSE(x.t.engine().awaitingReply || x.service->autoZeroWindow.frmAutoZeroIP.visible);
        EXPECT_TRUE(x.t.model.menu("mnuFileExit").enabled);
        x.w.rt.runFor(5);
        EXPECT_TRUE(x.written().empty());
    }
}
