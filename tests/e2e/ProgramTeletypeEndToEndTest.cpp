// The set-point program and the terminal with the real Qt port, runtime and main window against
// kvt-devsim on a pty.

#include "monitor/FrmProgram.h"
#include "monitor/TerminalWindow.h"
#include "support/PtyRig.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace kvt;
using Lines = std::vector<std::string>;

namespace {

// One device (RS-232, SLPM, 100 SLPM full scale) on kvt-devsim, and the real program around it.
kvt::testing::PtyOptions oneDevice() {
    auto r = kvt::testing::deviceRecord("1", "01");
    r.EngUnit = 1;
    return {.simArgs = {"--baud", "115200"}, .devices = {r}, .window = true};
}

} // namespace

TEST(ProgramEndToEnd, JumpAndRampOverARealPort) {
    kvt::testing::PtyRig b(oneDevice());
    auto& runner = b.t->program();
    b.dialogs.program = [](monitor::FrmProg& d) {
        d.model.txtSP[0].caption = "20";
        d.model.txtTime[0].caption = "0";
        d.model.txtSP[1].caption = "40";
        d.model.txtTime[1].caption = "1";
        d.cmdRun_Click();
    };
    // The run goes on inside the runner's own waits; the panel's widget is seen from there.
    auto* panel = b.window->findChild<QWidget*>("fraProg");
    bool panelShown = false;
    runner.panel.subscribe([&] { panelShown = panelShown || panel->isVisible(); });
    b.t->menuClick("mnuCommProg");
    EXPECT_TRUE(QTest::qWaitFor([&] { return panelShown && !runner.running(); }, 10000));
    Lines setPoints;
    for (const auto& l : b.sent())
        if (l.rfind("s,", 0) == 0)
            setPoints.push_back(l);
    EXPECT_EQ(setPoints, (Lines{"s,20.0000", "s,24.0000", "s,28.0000", "s,32.0000", "s,36.0000",
                                "s,40.0000"}));
    EXPECT_FALSE(b.port.portOpen());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(b.op.shown.empty());
}

TEST(TeletypeEndToEnd, TypedLineIsAnsweredAndCommandsStillWork) {
    kvt::testing::PtyRig b(oneDevice());
    b.t->model.txtTerm.caption.clear();
    b.t->menuClick("mnuStart");
    ASSERT_TRUE(b.port.portOpen());
    b.t->terminalWindow().txtTerm_KeyPress(U'f');
    b.t->terminalWindow().txtTerm_KeyPress(U'\r');
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return b.t->model.txtTerm.caption.find("\r\n") != std::string::npos; }, 3000));
    EXPECT_EQ(b.take(), Lines{"f"});
    // Stop, then a menu command goes out and gets its answer without waiting for a time-out.
    b.t->menuClick("mnuStop");
    EXPECT_FALSE(b.port.portOpen());
    QElapsedTimer clock;
    clock.start();
    b.t->menuClick("mnuCommandsFlow");
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(b.take(), Lines{"f"});
    EXPECT_TRUE(b.op.shown.empty());
}
