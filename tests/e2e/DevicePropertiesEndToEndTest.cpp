// The device properties window with the real Qt port, runtime and widgets against kvt-devsim on a
// pty: the edits made in the window reach the edited device, and only that one.

#include "config/SetupFile.h"
#include "monitor/FrmDProp.h"
#include "support/PtyRig.h"
#include "ui/FrmDPropDialog.h"
#include "ui/WidgetKit.h"

#include <QRadioButton>

using namespace kvt;
using kvt::testing::deviceRecord;
using kvt::testing::pick;

TEST(DevicePropertiesEndToEnd, AnEditInTheWindowIsSentToThatDeviceOnly) {
    kvt::testing::PtyRig r(
        {.simArgs = {"--rs485", "01,02,03", "--baud", "115200"},
         .devices = {deviceRecord("1", "01"), deviceRecord("2", "02"), deviceRecord("3", "03")}});
    r.dialogs.deviceProperties = [&](monitor::FrmDProp& d) {
        ui::FrmDPropDialog dlg(d);
        dlg.show();
        pick(dlg.findChild<QComboBox*>("cboNumU"), 1); // device 2
        pick(dlg.findChild<QComboBox*>("cboEUnit"), 7);
        QTest::mouseClick(dlg.findChild<QRadioButton*>("optEnable_1"), Qt::LeftButton);
        QTest::mouseClick(dlg.findChild<QWidget*>("cmdOK"), Qt::LeftButton);
        EXPECT_TRUE(d.closed());
        EXPECT_FALSE(dlg.isVisible());
    };
    r.t->menuClick("mnuDProperties");
    ASSERT_EQ(r.dialogs.devicePropertiesShown, 1);
    ASSERT_TRUE(r.waitFor([&] { return r.t->model.menu("mnuDProperties").enabled; }, 15000));

    for (const char* line : {"!02,u,LBPH", "!02,t,s,f,10", "!02,t,p,t,10000,N"})
        EXPECT_TRUE(r.has(line)) << line;
    for (const auto& l : r.sent())
        EXPECT_EQ(l.rfind("!02,", 0), 0u) << l;
    EXPECT_TRUE(r.op.shown.empty()) << r.op.shown.front().text;
    config::DeviceTable reread;
    config::LoadDeviceTable(reread, r.folder.file("setup.dat"));
    EXPECT_EQ(reread.record(2).EngUnit, 7);
    EXPECT_EQ(reread.record(2).TotalizerEnabled, 1);
}
