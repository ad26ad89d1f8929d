#include "ui/FrmPropertiesDialog.h"
#include "monitor/FrmProperties.h"
#include "support/TerminalWorld.h"
#include "ui/WidgetKit.h"

#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>

using namespace kvt;
using kvt::monitor::FrmProperties;
using kvt::testing::deviceRecord;
using kvt::testing::pick;
using kvt::testing::TerminalWorld;
using kvt::ui::FrmPropertiesDialog;

TEST(FrmPropertiesDialog, EveryControlHasItsNamedWidgetCaptionAndEntries) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    ASSERT_TRUE(w.port.setSettings("19200,e,7,1.5").empty());
    w.port.addresses = {{1, "/dev/ttyUSB0"}, {2, "tcp://192.168.1.20:4001"}};
    FrmProperties logic(w.terminal());
    logic.Form_Load();
    FrmPropertiesDialog dlg(logic);

    EXPECT_EQ(kvt::testing::expectCaptionsAndLists(logic.model, dlg), std::pair(30, 10));

    // Where the chosen port leads: shown, not editable, and following the port box.
    auto* address = kvt::testing::child<QLineEdit>(dlg, "txtPortAddress");
    EXPECT_TRUE(address->isReadOnly());
    EXPECT_EQ(address->text(), "/dev/ttyUSB0");
    pick(dlg.findChild<QComboBox*>("cboPort"), 1);
    EXPECT_EQ(address->text(), "tcp://192.168.1.20:4001");

    for (auto [box, text] : {std::pair{"cboSpeed", "19200"}, {"cboStopBits", "1.5"}})
        EXPECT_EQ(dlg.findChild<QComboBox*>(box)->currentText(), text) << box;
    EXPECT_TRUE(dlg.findChild<QRadioButton*>("optEcho_0")->isChecked());
    EXPECT_TRUE(dlg.findChild<QRadioButton*>("optFlow_0")->isChecked());

    // The model outlives its dialogs; a later change must not reach a destroyed one.
    { FrmPropertiesDialog gone(logic); }
    logic.model.changed();
}

TEST(FrmPropertiesDialog, OperatorActionsReachTheHandlers) {
    TerminalWorld w(sim::LineMode::Rs485, {deviceRecord("1", "01")});
    auto& t = w.terminal();
    t.setInterfaceRs232(false);
    FrmProperties logic(t);
    logic.Form_Load();
    FrmPropertiesDialog dlg(logic);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

    auto* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    QPoint offset = dlg.frameGeometry().center() - screen->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4);

    auto* cboInterface = dlg.findChild<QComboBox*>("cboInterface");
    pick(cboInterface, 0);
    EXPECT_TRUE(t.rs232());

    // Showing a model change runs no handler: the interface flag is not set back.
    logic.model.cboInterface.listIndex = 1;
    dlg.refresh();
    EXPECT_EQ(cboInterface->currentText(), "RS485");
    EXPECT_TRUE(t.rs232());

    auto* speed = dlg.findChild<QComboBox*>("cboSpeed")->lineEdit();
    speed->selectAll();
    QTest::keyClicks(speed, "38400");
    EXPECT_EQ(logic.model.cboSpeed.editText, "38400");

    QTest::mouseClick(dlg.findChild<QRadioButton*>("optEcho_1"), Qt::LeftButton);
    EXPECT_TRUE(logic.pendingEcho());
    QTest::mouseClick(dlg.findChild<QRadioButton*>("optFlow_3"), Qt::LeftButton);
    EXPECT_EQ(logic.pendingFlow(), 3);

    auto* tab = dlg.findChild<QTabBar*>("tabSettings");
    QTest::mouseClick(tab, Qt::LeftButton, {}, tab->tabRect(1).center());
    EXPECT_EQ(logic.model.tabSettings.selected, 1);
    EXPECT_TRUE(dlg.findChild<QWidget*>("fraSettings_1")->isVisible());

    // A settings text the port refuses keeps the dialog open.
    w.port.rejectSettingsWith = "Invalid port property value";
    QTest::mouseClick(dlg.findChild<QWidget*>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(w.op.texts(), (std::vector<std::string>{"Invalid port property value"}));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(logic.closed());

    // The window's close button is Cancel: closed, nothing saved.
    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(logic.closed());
    EXPECT_TRUE(w.prefs.saves.empty());
    EXPECT_TRUE(t.rs232());
}
