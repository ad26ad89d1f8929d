// The device properties window with the real Qt port, runtime and widgets against kvt-devsim on a
// pty: the edits made in the window reach the edited device, and only that one.

#include "config/DeviceTable.h"
#include "config/SetupFile.h"
#include "monitor/FrmDProp.h"
#include "monitor/FrmTerminal.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "support/ScriptedOperator.h"
#include "support/TempFolder.h"
#include "support/TerminalWorld.h"
#include "ui/FrmDPropDialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace kvt;

namespace {

std::vector<std::string> received(const std::string& log) {
    std::vector<std::string> out;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("<< ", 0) == 0)
            out.push_back(line.substr(3));
    return out;
}

void pick(QComboBox* c, int index) {
    c->showPopup();
    QAbstractItemView* view = c->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(index, 0)).center());
}

} // namespace

TEST(DevicePropertiesEndToEnd, AnEditInTheWindowIsSentToThatDeviceOnly) {
    test::TempFolder folder;
    kvt::testing::DevSimProcess sim(KVT_DEVSIM_PATH,
                                    {"--rs485", "01,02,03", "--baud", "115200", "--verbose"},
                                    folder.file("devsim.log"));
    kvt::testing::MemoryPreferences prefs;
    prefs.save("KVT Control Terminal", "Ports", "Com1", sim.path());
    prefs.save("KVT Control Terminal", "Properties", "Settings", "115200,n,8,1");
    prefs.save("KVT Control Terminal", "Properties", "Interface", "False");
    config::DeviceTable table;
    for (int i = 1; i <= 3; ++i)
        table.addDevice(kvt::testing::deviceRecord(std::to_string(i), "0" + std::to_string(i)));
    ASSERT_EQ(config::SaveDeviceTable(table, folder.file("setup.dat")), "");

    platform::qt::QtSerialPort port(prefs);
    platform::qt::QtRuntime rt;
    kvt::testing::ScriptedOperator op;
    kvt::testing::ScriptedDialogs dialogs;
    monitor::FrmTerminal logic(
        monitor::FrmTerminal::Services{port, rt, op, prefs, dialogs, folder.file("setup.dat")});
    logic.Form_Load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logic.loaderActive(); }, 15000));
    const auto before = received(test::readFile(folder.file("devsim.log"))).size();

    dialogs.deviceProperties = [&](monitor::FrmDProp& d) {
        ui::FrmDPropDialog dlg(d);
        dlg.show();
        pick(dlg.findChild<QComboBox*>("cboNumU"), 1); // device 2
        pick(dlg.findChild<QComboBox*>("cboEUnit"), 7);
        QTest::mouseClick(dlg.findChild<QRadioButton*>("optEnable_1"), Qt::LeftButton);
        QTest::mouseClick(dlg.findChild<QWidget*>("cmdOK"), Qt::LeftButton);
        EXPECT_TRUE(d.closed());
        EXPECT_FALSE(dlg.isVisible());
    };
    logic.menuClick("mnuDProperties");
    ASSERT_EQ(dialogs.devicePropertiesShown, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return logic.model.menu("mnuDProperties").enabled; }, 15000));

    auto lines = received(test::readFile(folder.file("devsim.log")));
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
    auto has = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) != lines.end();
    };
    EXPECT_TRUE(has("!02,u,LBPH"));
    EXPECT_TRUE(has("!02,t,s,f,10"));
    EXPECT_TRUE(has("!02,t,p,t,10000,N"));
    for (const auto& l : lines)
        EXPECT_EQ(l.rfind("!02,", 0), 0u) << l;
    EXPECT_TRUE(op.shown.empty()) << op.shown.front().text;
    config::DeviceTable reread;
    config::LoadDeviceTable(reread, folder.file("setup.dat"));
    EXPECT_EQ(reread.record(2).EngUnit, 7);
    EXPECT_EQ(reread.record(2).TotalizerEnabled, 1);
    rt.pump().shutdown();
}
