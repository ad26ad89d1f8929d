// Monitoring with the real Qt port, runtime and main window against kvt-devsim on a pty.

#include "config/DeviceTable.h"
#include "config/SetupFile.h"
#include "monitor/FrmTerminal.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "support/ScriptedOperator.h"
#include "support/TempFolder.h"
#include "support/TerminalWorld.h"
#include "ui/FrmTerminalWindow.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <sstream>

using namespace kvt;

namespace {

struct RealTerminal {
    RealTerminal(const std::vector<std::string>& simArgs, int devices, bool rs485)
        : sim(KVT_DEVSIM_PATH, simArgs, folder.file("devsim.log")), port(prefs) {
        prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
        prefs.save("KVT Control Terminal", "Properties", "Settings", "115200,n,8,1");
        prefs.save("KVT Control Terminal", "Properties", "Interface", rs485 ? "False" : "True");
        prefs.save("KVT Control Terminal", "Properties", "Time_ss", "1");
        prefs.save("KVT Control Terminal", "Properties", "Time_ms", "0");
        config::DeviceTable table;
        for (int i = 1; i <= devices; ++i) {
            auto r = kvt::testing::deviceRecord(std::to_string(i), "0" + std::to_string(i));
            r.Name = "Unit " + std::to_string(i);
            r.EngUnit = 1;
            r.InputMode = 1;
            r.ValveMode = 1;
            r.SetPoint = 10.0 * i;
            table.addDevice(r);
        }
        config::SaveDeviceTable(table, folder.file("setup.dat"));
        logic = std::make_unique<monitor::FrmTerminal>(
            monitor::FrmTerminal::Services{port, rt, op, prefs, dialogs, folder.file("setup.dat")});
        window = std::make_unique<ui::FrmTerminalWindow>(*logic);
        window->show();
        logic->Form_Load();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !logic->loaderActive(); }, 15000));
    }
    ~RealTerminal() {
        rt.pump().shutdown();
        window.reset();
        logic.reset();
    }
    QString label(const char* name) {
        auto* l = window->findChild<QLabel*>(name);
        return l ? l->text() : QString("<no label>");
    }
    std::vector<std::string> commands() {
        return kvt::testing::receivedCommands(test::readFile(folder.file("devsim.log")));
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
};

int count(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

} // namespace

TEST(MonitoringEndToEnd, SingleUnitOverARealPort) {
    RealTerminal t({"--baud", "115200", "--verbose"}, 1, false);
    auto before = t.commands().size();
    t.logic->menuClick("mnuAutoS");
    QTest::qWait(1500);
    auto lines = t.commands();
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
    EXPECT_GE(count(lines, "f"), 8);
    EXPECT_EQ(count(lines, "s,10.000"), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !t.label("lblRead").isEmpty(); }, 1000));
    EXPECT_TRUE(t.window->findChild<QWidget*>("fraSD")->isVisible());
    t.logic->menuClick("mnuAutoS");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !t.port.portOpen(); }, 3000));
    EXPECT_TRUE(t.op.shown.empty());
}

TEST(MonitoringEndToEnd, MultiUnitOverARealPort) {
    RealTerminal t({"--rs485", "01,02,03,04,05,06", "--baud", "115200", "--verbose"}, 6, true);
    t.logic->menuClick("mnuVM8");
    t.logic->menuClick("mnuAutoM");
    QTest::qWait(1500);
    auto lines = t.commands();
    for (int i = 1; i <= 6; ++i) {
        std::string address = "!0" + std::to_string(i) + ",";
        EXPECT_EQ(count(lines, address + "s," + std::to_string(10 * i) + ".000"), 1) << i;
        EXPECT_GE(count(lines, address + "f"), 2) << i;
        // The window shows a reading a moment after it came.
        const std::string label = "lblMD8RE(" + std::to_string(i - 1) + ")";
        EXPECT_TRUE(QTest::qWaitFor([&] { return !t.label(label.c_str()).isEmpty(); }, 1000)) << i;
    }
    EXPECT_TRUE(t.window->findChild<QWidget*>("fraMulti8")->isVisible());
    t.logic->menuClick("mnuAutoM");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !t.port.portOpen(); }, 3000));
    EXPECT_TRUE(t.op.shown.empty());
}
