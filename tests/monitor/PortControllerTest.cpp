#include "monitor/PortController.h"
#include "MonitorFixtures.h"
#include "support/SimWorld.h"

#include <gtest/gtest.h>

using namespace kvt;
using kvt::platform::Answer;
using kvt::platform::Buttons;
using kvt::platform::Icon;
using namespace kvt::testing;

namespace {

// The menu, toolbar, icons and panel follow the port's state.
void expectShownOpen(SimWorld& w, bool open) {
    EXPECT_EQ(w.port.portOpen(), open);
    EXPECT_EQ(w.model.menu("mnuOpen").checked, open);
    for (const char* button : {"TransmitTextFile", "HangUpPhone"})
        EXPECT_EQ(w.model.toolbar[button].enabled, open) << button;
    EXPECT_TRUE(w.model.toolbar["DialPhoneNumber"].enabled);
    EXPECT_EQ(w.model.imgConnected.visible, open);
    EXPECT_EQ(w.model.imgNotConnected.visible, !open);
}

} // namespace

TEST(PortToggle, FailedOpenOpenAndCloseDriveMenuToolbarIconsAndPanels) {
    SimWorld w;
    ASSERT_TRUE(w.port.setHandshaking(2).empty());
    // A port that will not open is reported, and shown closed.
    w.port.failOpenWith = "Permission denied: /dev/ttyS0";
    EXPECT_FALSE(w.ports.openIfClosed());
    EXPECT_EQ(w.op.texts(), Lines{"Permission denied: /dev/ttyS0"});
    expectShownOpen(w, false);
    w.port.failOpenWith.clear();
    w.op.shown.clear();

    w.ports.mnuOpen_Click();
    expectShownOpen(w, true);
    EXPECT_TRUE(w.ports.openIfClosed()); // already open: nothing toggles back
    EXPECT_EQ(w.port.opens, 1);
    EXPECT_EQ(w.model.sbrStatus["Settings"].text, "Settings: 9600,n,8,1       Handshaking: 2");

    w.rt.runFor(3.5);
    EXPECT_EQ(w.model.sbrStatus["ConnectTime"].text, "00:00:03 ");

    w.ports.imgConnected_Click();
    expectShownOpen(w, false);
    EXPECT_EQ(w.model.sbrStatus["Settings"].text, "Settings: ");
    w.rt.runFor(3);
    EXPECT_EQ(w.model.sbrStatus["ConnectTime"].text, "");
    EXPECT_TRUE(w.op.shown.empty());
}

TEST(CloseWithDrain, DrainsQuietlyWhenTheLineMovesAsksAbortRetryIgnoreWhenDead) {
    SimWorld w;
    ASSERT_TRUE(w.ports.closeWithDrain()); // closed port: nothing to do
    ASSERT_TRUE(w.ports.openIfClosed());
    ASSERT_TRUE(w.port.setSettings("110,n,8,1").empty());
    w.port.output(std::string(50, 'x')); // 4.5 s of wire time at 110 baud
    EXPECT_TRUE(w.ports.closeWithDrain());
    EXPECT_FALSE(w.port.portOpen() || !w.op.shown.empty());
    EXPECT_GE(w.rt.now(), 4.5);

    ASSERT_TRUE(w.ports.openIfClosed());
    w.port.stallTransmit = true;
    w.port.output("stuck\r");
    ASSERT_GT(w.port.outBufferCount(), 0);

    // Abort: after 10 s the box; the port stays open.
    double start = w.rt.now();
    w.op.answer(Answer::Abort);
    EXPECT_FALSE(w.ports.closeWithDrain());
    ASSERT_EQ(w.op.shown.size(), 1u);
    EXPECT_EQ(boxOf(w.op.shown[0]),
              (Box{"Data cannot be sent", kApp, Buttons::AbortRetryIgnore, Icon::Question}));
    EXPECT_NEAR(w.rt.now() - start, 10.0, 1.0);
    EXPECT_TRUE(w.port.portOpen());

    // Retry waits another 10 s, then Ignore closes.
    start = w.rt.now();
    w.op.answer(Answer::Retry);
    w.op.answer(Answer::Ignore);
    EXPECT_TRUE(w.ports.closeWithDrain());
    EXPECT_EQ(w.op.shown.size(), 3u);
    EXPECT_NEAR(w.rt.now() - start, 20.5, 1.5);
    EXPECT_FALSE(w.port.portOpen());
}

TEST(ConnectTime, ElapsedFormat) {
    for (auto [seconds, text] :
         {std::pair{3725.9, "01:02:05"}, {360000.0, "100:00:00"}, {-3.0, "00:00:00"}})
        EXPECT_EQ(monitor::formatElapsed(seconds), text) << seconds;
}
