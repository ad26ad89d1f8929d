#include "ui/FrmTerminalWindow.h"
#include "monitor/DataLogs.h"
#include "monitor/TerminalMenus.h"
#include "support/TerminalWorld.h"
#include "ui/FrmProgressBarWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

using namespace kvt;
using kvt::platform::Answer;
using kvt::testing::deviceRecord;
using kvt::testing::TerminalWorld;
using kvt::ui::FrmTerminalWindow;

namespace {

const char* kApp = "KVT Control Terminal";

QString q(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

TerminalWorld rs485World(int devices) {
    std::vector<config::DeviceRecord> records;
    for (int i = 1; i <= devices; ++i)
        records.push_back(deviceRecord(std::to_string(i), "0" + std::to_string(i)));
    return TerminalWorld(sim::LineMode::Rs485, records);
}

// A menu entry as the window shows it: a parent by its menu's action, a leaf by its own action.
QAction* menuAction(FrmTerminalWindow& window, const std::string& name) {
    if (auto* menu = window.findChild<QMenu*>(q(name)))
        return menu->menuAction();
    return window.findChild<QAction*>(q(name));
}

template <typename T = QWidget> T* child(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QRect inWindow(QWidget& window, QWidget* w) {
    return QRect(w->mapTo(&window, QPoint(0, 0)), w->size());
}

} // namespace

TEST(FrmTerminalWindow, EveryNamedControlHasItsWidget) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    EXPECT_EQ(window.objectName(), "frmTerminal");

    t.model.forEachControl([&](const std::string& name, monitor::Control&) {
        if (name == "frmTerminal")
            return;
        QObject* found = t.model.menus.count(name) ? static_cast<QObject*>(menuAction(window, name))
                                                   : window.findChild<QWidget*>(q(name));
        EXPECT_NE(found, nullptr) << name;
    });

    // Controls sit in the frame they belong to (a reading may sit in an unnamed holder).
    auto parentOf = [&](const char* name) {
        QWidget* found = child(window, name);
        QWidget* frame = found ? found->parentWidget() : nullptr;
        while (frame && frame->objectName().isEmpty())
            frame = frame->parentWidget();
        return frame ? frame->objectName() : QString();
    };
    EXPECT_EQ(parentOf("lblTr"), "fraSendR");
    EXPECT_EQ(parentOf("lblRs"), "fraSendR");
    EXPECT_EQ(parentOf("imgConnected"), "Frame1");
    EXPECT_EQ(parentOf("imgNotConnected"), "Frame1");
    EXPECT_EQ(parentOf("cboCurUnit"), "fraCD");
    EXPECT_EQ(parentOf("cboValveS"), "fraSD");
    EXPECT_EQ(parentOf("lblEU"), "fraSD");
    EXPECT_NE(child<QComboBox>(window, "cboCurUnit"), nullptr);
    EXPECT_NE(child<QComboBox>(window, "cboValveS"), nullptr);
    EXPECT_NE(child<QPlainTextEdit>(window, "txtTerm"), nullptr);
    EXPECT_EQ(child<QGroupBox>(window, "fraSendR")->title(), "Commands:");
    EXPECT_EQ(child<QGroupBox>(window, "fraCD")->title(), "Current device:");
    EXPECT_EQ(child(window, "imgNotConnected")->toolTip(), "Toggles Port");

    // The 19 information labels, top to bottom in the order of the frame.
    auto* info = child<QGroupBox>(window, "FrmInfo");
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->layout()->count(), int(std::size(monitor::kInfoLabels)));
    for (int i = 0; i < info->layout()->count(); ++i) {
        auto* label = qobject_cast<QLabel*>(info->layout()->itemAt(i)->widget());
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->objectName(), monitor::kInfoLabels[i].name);
        EXPECT_EQ(label->text(), monitor::kInfoLabels[i].prefix);
    }

    // Areas of the other modes exist and start hidden; the current-device frame shows.
    for (const char* name : {"fraSD", "fraMulti", "fraMulti8", "fraProg", "txtTerm", "fraSendR",
                             "FrmInfo", "imgConnected"})
        EXPECT_TRUE(child(window, name)->isHidden()) << name;
    EXPECT_FALSE(child(window, "fraCD")->isHidden());
    EXPECT_FALSE(child(window, "imgNotConnected")->isHidden());
}

TEST(FrmTerminalWindow, MenusToolbarAndPanelsFollowTheirTables) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass

    std::vector<QString> topLevel;
    for (const auto& node : monitor::terminalMenuTree())
        if (node.parent.empty())
            topLevel.push_back(q(node.name));
    std::vector<QString> shownTopLevel;
    for (QAction* a : window.menuBar()->actions())
        shownTopLevel.push_back(a->menu() ? a->menu()->objectName() : a->objectName());
    EXPECT_EQ(shownTopLevel, topLevel);

    const std::set<std::string> checkable = {"mnuOpen",  "mnuMonitor", "mnuDeviceInfo",
                                             "mnuVM4",   "mnuVM8",     "mnuAutoS",
                                             "mnuAutoM", "mnuCommProg"};
    std::map<std::string, std::vector<QString>> childrenOf;
    for (const auto& node : monitor::terminalMenuTree()) {
        QAction* a = menuAction(window, node.name);
        ASSERT_NE(a, nullptr) << node.name;
        EXPECT_EQ(a->text(), q(node.caption)) << node.name;
        EXPECT_EQ(a->isEnabled(), t.model.menu(node.name).enabled) << node.name;
        EXPECT_EQ(a->isCheckable(), checkable.count(node.name) > 0) << node.name;
        if (node.shortcut.empty()) {
            EXPECT_TRUE(a->shortcut().isEmpty()) << node.name;
        } else {
            // A text Qt cannot read would give an empty or unknown key.
            ASSERT_EQ(a->shortcut().count(), 1) << node.name;
            EXPECT_NE(a->shortcut()[0].key(), Qt::Key_unknown) << node.name;
            EXPECT_EQ(a->shortcut(), QKeySequence(q(node.shortcut))) << node.name;
        }
        if (node.parent.empty())
            continue;
        childrenOf[node.parent].push_back(q(node.name));
        auto* owner = window.findChild<QMenu*>(q(node.parent));
        ASSERT_NE(owner, nullptr) << node.parent;
        auto entries = owner->actions();
        auto at = entries.indexOf(a);
        ASSERT_GE(at, 0) << node.name << " is not in " << node.parent;
        EXPECT_EQ(at > 0 && entries[at - 1]->isSeparator(), node.separatorBefore) << node.name;
    }
    // Every menu lists exactly its entries, in the order of the tree.
    for (const auto& [parent, expected] : childrenOf) {
        std::vector<QString> shown;
        for (QAction* a : window.findChild<QMenu*>(q(parent))->actions())
            if (!a->isSeparator())
                shown.push_back(a->menu() ? a->menu()->objectName() : a->objectName());
        EXPECT_EQ(shown, expected) << parent;
    }
    // Spot checks of shortcuts Qt writes differently than the tree.
    EXPECT_EQ(menuAction(window, "mnuQueryBackDoorOpen")->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F1));
    EXPECT_EQ(menuAction(window, "mnuCommProg")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F9));

    auto* toolbar = child<QToolBar>(window, "tbrToolBar");
    ASSERT_NE(toolbar, nullptr);
    std::vector<QAction*> buttons;
    for (QAction* a : toolbar->actions())
        if (!a->isSeparator())
            buttons.push_back(a);
    const auto& expected = monitor::terminalToolbar();
    ASSERT_EQ(buttons.size(), expected.size());
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->objectName(), q(expected[i].key));
        EXPECT_EQ(buttons[i]->toolTip(), q(expected[i].toolTip));
        EXPECT_FALSE(buttons[i]->icon().isNull()) << expected[i].key;
        EXPECT_EQ(buttons[i]->isEnabled(), t.model.toolbar[expected[i].key].enabled)
            << expected[i].key;
    }

    // Status panels: each in its own bar, with the model's tooltip.
    auto* sbrStatus = window.statusBar();
    auto* sbrStatus1 = child<QStatusBar>(window, "sbrStatus1");
    ASSERT_NE(sbrStatus1, nullptr);
    EXPECT_EQ(sbrStatus->objectName(), "sbrStatus");
    for (auto& [key, panel] : t.model.sbrStatus) {
        auto* label = sbrStatus->findChild<QLabel*>(q(key));
        ASSERT_NE(label, nullptr) << key;
        EXPECT_EQ(label->toolTip(), q(panel.toolTip));
        EXPECT_EQ(label->text(), q(panel.text));
    }
    for (auto& [key, panel] : t.model.sbrStatus1) {
        auto* label = sbrStatus1->findChild<QLabel*>(q(key));
        ASSERT_NE(label, nullptr) << key;
        EXPECT_EQ(label->toolTip(), q(panel.toolTip));
    }
    EXPECT_EQ(sbrStatus1->findChild<QLabel*>("FSF")->toolTip(), "Full Scale Flow Range in L/Min");
}

TEST(FrmTerminalWindow, WidgetsFollowTheModel) {
    TerminalWorld w = rs485World(3);
    w.prefs.save(kApp, "Properties", "Com_monitor", "1");
    w.prefs.save(kApp, "Properties", "Dev_info", "1");
    w.prefs.save(kApp, "Properties", "Cur_unit", "2");
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    window.show();
    w.start();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.windowTitle(), "KVT Control Terminal");
    EXPECT_TRUE(child(window, "fraSendR")->isVisible());
    EXPECT_TRUE(child(window, "FrmInfo")->isVisible());
    EXPECT_TRUE(menuAction(window, "mnuMonitor")->isChecked());
    EXPECT_TRUE(menuAction(window, "mnuDeviceInfo")->isChecked());
    EXPECT_TRUE(menuAction(window, "mnuVM4")->isChecked());
    EXPECT_FALSE(menuAction(window, "mnuVM8")->isChecked());
    auto* units = child<QComboBox>(window, "cboCurUnit");
    ASSERT_EQ(units->count(), 3);
    EXPECT_EQ(units->itemText(2), "3");
    EXPECT_EQ(units->itemData(2).toInt(), 3);
    EXPECT_EQ(units->currentIndex(), 1);
    auto* sbrStatus1 = child<QStatusBar>(window, "sbrStatus1");
    EXPECT_EQ(sbrStatus1->findChild<QLabel*>("Interface")->text(), "Interface: RS485");
    EXPECT_EQ(sbrStatus1->findChild<QLabel*>("Device")->text(), "Device: 2");
    EXPECT_EQ(sbrStatus1->findChild<QLabel*>("Address")->text(), "Address: 02");
    EXPECT_EQ(sbrStatus1->findChild<QLabel*>("Total")->text(), "Total in System: 3");
    auto* lblDescrp = child<QLabel>(window, "lblDescrp");
    EXPECT_EQ(lblDescrp->text(), q(t.model.info["lblDescrp"].caption));
    auto* lblTr = child<QLabel>(window, "lblTr");
    EXPECT_EQ(lblTr->text(), q(t.model.lblTr.caption));

    // Bytes are Latin-1; a carriage return is a line break; markup is shown as it is.
    auto* lblRs = child<QLabel>(window, "lblRs");
    t.model.lblRs.caption = "01 \xB0"
                            "C\rnext\r\nlast <b>x</b>";
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_EQ(lblRs->text(), QString("01 ") + QChar(0xB0) + "C\nnext\nlast <b>x</b>");
    EXPECT_EQ(lblRs->textFormat(), Qt::PlainText);

    // A very long line from the device does not widen the window.
    const int width = window.width();
    t.model.lblRs.caption = std::string(5000, 'X');
    t.model.sbrStatus["Status"].text = "Status: " + std::string(5000, 'Y');
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_EQ(window.width(), width);

    // Lists: new items, a selection out of range, no selection.
    t.model.cboCurUnit.items = {"7", "8"};
    t.model.cboCurUnit.itemData = {7, 8};
    t.model.cboCurUnit.listIndex = 1;
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    ASSERT_EQ(units->count(), 2);
    EXPECT_EQ(units->currentText(), "8");
    t.model.cboCurUnit.listIndex = 5;
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_EQ(units->currentIndex(), -1);
    t.model.cboCurUnit.enabled = false;
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_FALSE(units->isEnabled());

    // Enabled, visible and caption of entries, buttons and areas.
    t.model.menu("mnuOpen").enabled = false;
    t.model.menu("mnuTools").visible = false;
    t.model.menu("mnuHelpA").caption = "&About it";
    t.model.toolbar["Properties"].enabled = false;
    t.model.txtTerm.visible = true;
    t.model.txtTerm.caption = "typed\rreceived";
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_FALSE(menuAction(window, "mnuOpen")->isEnabled());
    EXPECT_FALSE(menuAction(window, "mnuTools")->isVisible());
    EXPECT_EQ(menuAction(window, "mnuHelpA")->text(), "&About it");
    EXPECT_FALSE(child<QAction>(window, "Properties")->isEnabled());
    auto* term = child<QPlainTextEdit>(window, "txtTerm");
    EXPECT_TRUE(term->isVisible());
    EXPECT_EQ(term->toPlainText(), "typed\nreceived");

    // An entry the model checks that was not expected to carry a mark gets one.
    t.model.menu("mnuOptionsEU_SLPM").checked = true;
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_TRUE(menuAction(window, "mnuOptionsEU_SLPM")->isChecked());
}

TEST(FrmTerminalWindow, ActionsReachTheirHandlers) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    window.show();
    w.start();
    QCoreApplication::processEvents();
    auto* fraSendR = child(window, "fraSendR");
    auto* monitor = menuAction(window, "mnuMonitor");
    monitor->trigger();
    EXPECT_TRUE(t.comMonitor);
    EXPECT_TRUE(fraSendR->isVisible());
    EXPECT_TRUE(monitor->isChecked());
    monitor->trigger();
    EXPECT_FALSE(t.comMonitor);
    EXPECT_FALSE(fraSendR->isVisible());
    EXPECT_FALSE(monitor->isChecked());

    auto* frmInfo = child(window, "FrmInfo");
    menuAction(window, "mnuDeviceInfo")->trigger();
    EXPECT_TRUE(frmInfo->isVisible());
    EXPECT_TRUE(menuAction(window, "mnuDeviceInfo")->isChecked());

    menuAction(window, "mnuHelpA")->trigger();
    EXPECT_EQ(w.dialogs.aboutShown, 1);

    // Port toggle from the menu and from the connection icons.
    auto* open = menuAction(window, "mnuOpen");
    auto* deviceInfo = child<QAction>(window, "TransmitTextFile");
    EXPECT_FALSE(deviceInfo->isEnabled());
    open->trigger();
    EXPECT_TRUE(w.port.portOpen());
    EXPECT_TRUE(open->isChecked());
    EXPECT_TRUE(child(window, "imgConnected")->isVisible());
    EXPECT_FALSE(child(window, "imgNotConnected")->isVisible());
    EXPECT_TRUE(deviceInfo->isEnabled());
    deviceInfo->trigger(); // the toolbar's "Device Info..." hides the frame again
    EXPECT_FALSE(frmInfo->isVisible());
    QTest::mouseClick(child<QToolButton>(window, "imgConnected"), Qt::LeftButton);
    EXPECT_FALSE(w.port.portOpen());
    EXPECT_FALSE(open->isChecked());
    EXPECT_TRUE(child(window, "imgNotConnected")->isVisible());
    QTest::mouseClick(child<QToolButton>(window, "imgNotConnected"), Qt::LeftButton);
    EXPECT_TRUE(w.port.portOpen());

    // The model decides the check mark, not the toggle Qt makes when an entry is chosen.
    int runs = 0;
    t.registerMenu("mnuCommProg", [&] { ++runs; });
    t.setMenuEnabled("mnuCommProg", true);
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    menuAction(window, "mnuCommProg")->trigger();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(menuAction(window, "mnuCommProg")->isChecked());
    // A disabled entry does not run.
    t.setMenuEnabled("mnuCommProg", false);
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    menuAction(window, "mnuCommProg")->trigger();
    EXPECT_EQ(runs, 1);

    // The recorder waits for an auto log; then its buttons swap their enabled states.
    auto* rStart = child<QAction>(window, "RStart");
    auto* rStop = child<QAction>(window, "RStop");
    EXPECT_FALSE(rStart->isEnabled());
    w.op.choose(w.folder.file("run.log"));
    child<QAction>(window, "ALogO")->trigger();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_EQ(window.windowTitle(), QString(kApp) + " - run.log");
    EXPECT_TRUE(rStart->isEnabled());
    rStart->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(t.logs().recorderOn());
    EXPECT_FALSE(rStart->isEnabled());
    EXPECT_TRUE(rStop->isEnabled());
    EXPECT_TRUE(menuAction(window, "mnuDRecStop")->isEnabled());
}

TEST(FrmTerminalWindow, ShortcutsReachTheirEntries) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    w.start();
    QCoreApplication::processEvents();
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(t.comMonitor);
    QTest::keyClick(&window, Qt::Key_F2);
    EXPECT_TRUE(t.devInfo);
    EXPECT_TRUE(child(window, "FrmInfo")->isVisible());
    // Shift+Ctrl+F2 belongs to another entry; it must not reach "Info Enable" (F2).
    QTest::keyClick(&window, Qt::Key_F2, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_TRUE(t.devInfo);
}

TEST(FrmTerminalWindow, ProgressWindowShowsTheLoader) {
    TerminalWorld w = rs485World(3);
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    window.show();
    auto* progress = child(window, "frmProgressBar");
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress, static_cast<QWidget*>(window.progressWindow()));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(progress->isWindow());
    EXPECT_TRUE(progress->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(progress->windowType(), Qt::Tool);
    auto* bar = progress->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 21);

    t.Form_Load();

    QCoreApplication::processEvents();
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(progress->isModal());
    EXPECT_EQ(progress->windowTitle(), "Loading Device Info. Standby...");
    EXPECT_EQ(bar->value(), 1);
    // Values outside the bar's range do not leave it standing where it was.
    t.model.progressValue = 9;
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_EQ(bar->value(), 9);
    t.model.progressValue = 22;
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_EQ(bar->value(), 21);
    t.model.progressValue = 0;
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_EQ(bar->value(), 1);

    w.rt.runFor(2);

    QCoreApplication::processEvents();
    EXPECT_FALSE(t.loading);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(progress->windowTitle(), "Saving Table to EEPROM. Standby...");
}

TEST(FrmTerminalWindow, ListsMovedByTheProgramRunNoHandler) {
    TerminalWorld w = rs485World(3);
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    window.show();
    w.start();
    QCoreApplication::processEvents();
    w.takeWritten();
    t.model.fraSD.visible = true;
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass

    auto* valve = child<QComboBox>(window, "cboValveS");
    ASSERT_EQ(valve->count(), 3);
    EXPECT_EQ(valve->itemText(1), " AUTO");
    t.showValveMode(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(valve->currentIndex(), 2);
    t.showValveMode(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(valve->currentIndex(), 0);
    t.showValveMode(5);
    QCoreApplication::processEvents();
    EXPECT_EQ(valve->currentIndex(), -1);
    w.rt.runFor(3);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.takeWritten().empty());

    // The operator's choice does reach the handler, and through it the device.
    t.showValveMode(2);
    QCoreApplication::processEvents();
    QTest::keyClick(valve, Qt::Key_Up);
    EXPECT_EQ(valve->currentIndex(), 1);
    EXPECT_EQ(t.model.cboValveS.listIndex, 1);
    w.rt.runFor(3);
    QCoreApplication::processEvents();
    auto lines = w.takeWritten();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "!01,V,A"), lines.end()) << lines.size();

    // Choosing another device makes it current.
    auto* units = child<QComboBox>(window, "cboCurUnit");
    QTest::keyClick(units, Qt::Key_Down);
    w.rt.runFor(5);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.currentDevice(), 2);
    EXPECT_EQ(child<QStatusBar>(window, "sbrStatus1")->findChild<QLabel*>("Device")->text(),
              "Device: 2");
}

TEST(FrmTerminalWindow, ClosingRunsTheCloseSequence) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    window.show();
    w.start();
    QCoreApplication::processEvents();
    // Output that cannot drain: Abort keeps the program running with the port open.
    menuAction(window, "mnuOpen")->trigger();
    ASSERT_TRUE(w.port.portOpen());
    w.port.stallTransmit = true;
    w.port.output("!01,f\r");
    w.op.answer(Answer::Abort);
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(t.ended);
    EXPECT_TRUE(w.port.portOpen());
    EXPECT_EQ(w.op.texts(), std::vector<std::string>{"Data cannot be sent"});
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isVisible());

    // Ignore closes the port and ends the program; the closing values are saved.
    w.prefs.saves.clear();
    w.op.answer(Answer::Ignore);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(t.ended);
    EXPECT_FALSE(w.port.portOpen());
    EXPECT_EQ(w.prefs.get(kApp, "Properties", "Cur_unit", ""), "1");
    EXPECT_EQ(w.prefs.get(kApp, "Properties", "Com_monitor", ""), "0");
    // A refresh, then the queued end of the program.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(w.rt.shuttingDown());
}

TEST(FrmTerminalWindow, ExitEndsTheApplication) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    window.show();
    w.start();
    QCoreApplication::processEvents();
    // The exit runs from the event loop, as a chosen menu entry does.
    QTimer::singleShot(0, &window, [&] { menuAction(window, "mnuFileExit")->trigger(); });
    QTimer failsafe;
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    failsafe.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(t.ended);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(static_cast<QWidget*>(window.progressWindow())->isVisible());
}

TEST(FrmTerminalWindow, ModelOutlivingTheWindowIsSafe) {
    TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01")});
    auto& t = w.terminal();
    {
        FrmTerminalWindow window(t);
        window.setRefreshDelay(0); // the widgets follow at the next loop pass
        window.show();
    }
    // A second window on the same logic follows it; the first one's listener stays quiet.
    FrmTerminalWindow again(t);
    again.setRefreshDelay(0);
    t.model.lblTr.caption = "!01,f";
    t.model.changed();
    QCoreApplication::processEvents(); // the window refreshes once per loop pass
    EXPECT_EQ(again.findChild<QLabel*>("lblTr")->text(), "!01,f");
    w.start();
    QCoreApplication::processEvents();
    EXPECT_FALSE(t.loading);
}

TEST(FrmTerminalWindow, LayoutKeepsItsPlacesWhenResized) {
    TerminalWorld w = rs485World(3);
    w.prefs.save(kApp, "Properties", "Com_monitor", "1");
    w.prefs.save(kApp, "Properties", "Dev_info", "1");
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0); // the widgets follow at the next loop pass
    window.show();
    w.start();
    QCoreApplication::processEvents();
    auto* frame1 = child(window, "Frame1");
    auto* fraCD = child(window, "fraCD");
    auto* info = child(window, "FrmInfo");
    auto* fraSendR = child(window, "fraSendR");
    auto* sbrStatus1 = child(window, "sbrStatus1");
    auto* sbrStatus = window.statusBar();
    for (QSize size : {window.size(), QSize(1200, 860), window.minimumSizeHint()}) {
        window.resize(size);
        QCoreApplication::processEvents();
        const int width = window.width();
        const QRect f1 = inWindow(window, frame1), cd = inWindow(window, fraCD),
                    inf = inWindow(window, info), send = inWindow(window, fraSendR),
                    s1 = inWindow(window, sbrStatus1), s = inWindow(window, sbrStatus);
        SCOPED_TRACE(::testing::Message() << width << "x" << window.height());
        // Connection icons top right, above the device list, which keeps to the right edge.
        EXPECT_GT(f1.left(), width * 3 / 4);
        EXPECT_LE(f1.bottom(), cd.top());
        EXPECT_GE(cd.right(), width - 20);
        EXPECT_LE(cd.right(), width);
        // Information frame on the left, clear of the device list.
        EXPECT_LT(inf.left(), 20);
        EXPECT_LT(inf.right(), cd.left());
        // The monitor along the bottom, just above the two status bars.
        EXPECT_GE(send.top(), inf.bottom());
        EXPECT_LE(send.bottom(), s1.top());
        EXPECT_GE(send.bottom(), s1.top() - 12);
        EXPECT_LE(s1.bottom(), s.top());
        EXPECT_GE(s1.bottom(), s.top() - 2);
        EXPECT_GE(send.width(), width - 30);
    }

    // A picture for whoever wants to look at it.
    window.resize(820, 600);
    QCoreApplication::processEvents();
    const QPixmap shot = window.grab();
    EXPECT_FALSE(shot.isNull());
    if (auto path = qEnvironmentVariable("KVT_SCREENSHOT"); !path.isEmpty()) {
        EXPECT_TRUE(shot.save(path));
    }
}

TEST(FrmTerminalWindow, SetPointBoxKeepsItsKeysAndCommitsOnEnter) {
    TerminalWorld w = rs485World(1);
    auto& t = w.terminal();
    FrmTerminalWindow window(t);
    window.setRefreshDelay(0);
    window.show();
    w.start();
    t.menuClick("mnuAutoS");
    QCoreApplication::processEvents();
    auto* box = child<QLineEdit>(window, "txtSetP");
    ASSERT_NE(box, nullptr);
    box->setFocus();
    box->clear();
    w.takeWritten();
    // Letters are dropped; Ctrl+A, Ctrl+C, Ctrl+X and Ctrl+V edit the box and never reach the
    // valve, exit or input-mode entries of the menus.
    QTest::keyClicks(box, "1a2.5x");
    EXPECT_EQ(box->text(), "12.5");
    for (auto key : {Qt::Key_A, Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_V})
        QTest::keyClick(box, key, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "12.512.5");
    QApplication::clipboard()->setText("3,7 SLPM");
    box->clear();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "37");
    EXPECT_FALSE(t.ended);
    w.rt.runFor(0.05);
    for (const auto& line : w.takeWritten())
        EXPECT_EQ(line, "!01,f");
    box->setText("12.5");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(t.table.record(1).SetPoint, 12.5);
    EXPECT_TRUE(t.table.status(1).SetPointPending);
    EXPECT_EQ(child<QScrollBar>(window, "hscSetP")->value(), 125);
    // Other shortcuts still work from the box: Ctrl+I stops single-unit monitoring.
    QTest::keyClick(box, Qt::Key_I, Qt::ControlModifier);
    EXPECT_FALSE(t.engine().autoSingleMonitoring);
}
