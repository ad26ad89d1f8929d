// The set-point program and the terminal with the real Qt port, runtime and main window against
// kvt-devsim on a pty.

#include "config/DeviceTable.h"
#include "config/SetupFile.h"
#include "monitor/FrmProgram.h"
#include "monitor/FrmTerminal.h"
#include "monitor/TerminalWindow.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "support/ScriptedOperator.h"
#include "support/TempFolder.h"
#include "support/TerminalWorld.h"
#include "ui/FrmTerminalWindow.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <sstream>

using namespace kvt;

namespace {

// One device (RS-232, SLPM, 100 SLPM full scale) on kvt-devsim, and the real program around it.
struct RealBench {
    RealBench()
        : sim(KVT_DEVSIM_PATH, {"--baud", "115200", "--verbose"}, folder.file("devsim.log")),
          port(prefs) {
        prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
        prefs.save("KVT Control Terminal", "Properties", "Settings", "115200,n,8,1");
        prefs.save("KVT Control Terminal", "Properties", "Interface", "True");
        config::DeviceTable table;
        auto r = kvt::testing::deviceRecord("1", "01");
        r.EngUnit = 1;
        table.addDevice(r);
        config::SaveDeviceTable(table, folder.file("setup.dat"));
        logic = std::make_unique<monitor::FrmTerminal>(monitor::FrmTerminal::Services{
            port, rt, op, prefs, dialogs, folder.file("setup.dat"), folder.path()});
        window = std::make_unique<ui::FrmTerminalWindow>(*logic);
        window->show();
        logic->Form_Load();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !logic->loaderActive(); }, 15000));
    }
    ~RealBench() {
        rt.pump().shutdown();
        window.reset();
        logic.reset();
    }
    // Lines the device received since the last call.
    std::vector<std::string> commands() {
        std::vector<std::string> out;
        std::istringstream in(test::readFile(folder.file("devsim.log")));
        std::string line;
        std::size_t n = 0;
        while (std::getline(in, line))
            if (line.rfind("<< ", 0) == 0 && n++ >= seen)
                out.push_back(line.substr(3));
        seen += out.size();
        return out;
    }

    test::TempFolder folder;
    kvt::testing::DevSimProcess sim;
    kvt::testing::MemoryPreferences prefs;
    platform::qt::QtSerialPort port;
    platform::qt::QtRuntime rt;
    kvt::testing::ScriptedOperator op;
    kvt::testing::ScriptedDialogs dialogs;
    std::unique_ptr<monitor::FrmTerminal> logic;
    std::unique_ptr<ui::FrmTerminalWindow> window;
    std::size_t seen = 0;
};

int count(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

} // namespace

TEST(ProgramEndToEnd, JumpAndRampOverARealPort) {
    RealBench b;
    b.commands();
    auto& runner = b.logic->program();
    b.dialogs.program = [](monitor::FrmProg& d) {
        d.model.txtSP[0].caption = "20";
        d.model.txtTime[0].caption = "0";
        d.model.txtSP[1].caption = "40";
        d.model.txtTime[1].caption = "1";
        d.cmdRun_Click();
    };
    // The run goes on inside the runner's own waits; the panel's widget is seen from there.
    bool panelShown = false;
    runner.panel.subscribe(
        [&] { panelShown = panelShown || b.window->findChild<QWidget*>("fraProg")->isVisible(); });
    b.logic->menuClick("mnuCommProg");
    EXPECT_TRUE(QTest::qWaitFor([&] { return panelShown && !runner.running(); }, 10000));
    auto lines = b.commands();
    const std::vector<std::string> expected = {"s,20.0000", "s,24.0000", "s,28.0000",
                                               "s,32.0000", "s,36.0000", "s,40.0000"};
    std::vector<std::string> sent;
    for (const auto& l : lines)
        if (l.rfind("s,", 0) == 0)
            sent.push_back(l);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(count(lines, "f"), 5);
    EXPECT_EQ(runner.panel.lblTest.caption, "40.000");
    EXPECT_FALSE(b.port.portOpen());
    EXPECT_FALSE(b.window->findChild<QWidget*>("fraProg")->isVisible());
    EXPECT_TRUE(b.op.shown.empty());
}

TEST(TeletypeEndToEnd, TypedLineIsAnsweredAndCommandsStillWork) {
    RealBench b;
    b.logic->model.txtTerm.caption.clear();
    b.commands();
    b.logic->menuClick("mnuStart");
    ASSERT_TRUE(b.port.portOpen());
    for (char32_t c : U"f\r")
        if (c)
            b.logic->terminalWindow().txtTerm_KeyPress(c);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return b.logic->model.txtTerm.caption.find("\r\n") != std::string::npos; }, 3000));
    EXPECT_EQ(b.commands(), std::vector<std::string>{"f"});
    // Stop, then a menu command goes out and gets its answer without waiting for a time-out.
    b.logic->menuClick("mnuStop");
    EXPECT_FALSE(b.port.portOpen());
    QElapsedTimer clock;
    clock.start();
    b.logic->menuClick("mnuCommandsFlow");
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(b.commands(), std::vector<std::string>{"f"});
    EXPECT_TRUE(b.op.shown.empty());
}
