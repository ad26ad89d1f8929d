#include "ui/FrmTerminalWindow.h"
#include "monitor/TerminalMenus.h"
#include "support/TerminalWorld.h"
#include "ui/FrmProgressBarWindow.h"
#include "ui/WidgetKit.h"

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

using namespace kvt;
using kvt::platform::Answer;
using kvt::ui::FrmTerminalWindow;
using Win = kvt::testing::MainWindow;

namespace {

QString q(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

} // namespace

TEST(FrmTerminalWindow, ControlsMenusToolbarAndPanelsFollowTheirTables) {
    Win x(0, false);
    x.t.model.forEachControl([&](const std::string& name, monitor::Control&) {
        QObject* found = x.t.model.menus.count(name) ? static_cast<QObject*>(x.menu(name))
                                                     : x.window.findChild<QWidget*>(q(name));
        EXPECT_TRUE(found || name == "frmTerminal") << name;
    });
    // Controls sit in the frame they belong to (a reading may sit in an unnamed holder).
    const std::pair<const char*, const char*> parents[] = {
        {"lblTr", "fraSendR"}, {"cboCurUnit", "fraCD"}, {"cboValveS", "fraSD"}, {"lblEU", "fraSD"}};
    for (const auto& [name, parent] : parents) {
        QWidget* frame = x.child(name)->parentWidget();
        while (frame && frame->objectName().isEmpty())
            frame = frame->parentWidget();
        EXPECT_EQ(frame ? frame->objectName() : QString(), parent) << name;
    }
    auto* info = x.child<QGroupBox>("FrmInfo");
    ASSERT_EQ(info->layout()->count(), int(std::size(monitor::kInfoLabels)));
    for (int i = 0; i < info->layout()->count(); ++i)
        EXPECT_EQ(info->layout()->itemAt(i)->widget()->objectName(), monitor::kInfoLabels[i].name);

    std::map<std::string, std::vector<QString>> childrenOf;
    for (const auto& node : monitor::terminalMenuTree()) {
        QAction* a = x.menu(node.name);
        ASSERT_NE(a, nullptr) << node.name;
        if (node.separatorBefore)
            childrenOf[node.parent].push_back("-");
        childrenOf[node.parent].push_back(q(node.name));
        // A text Qt cannot read would give an empty or unknown key.
        EXPECT_EQ(a->shortcut(), QKeySequence(q(node.shortcut))) << node.name;
        EXPECT_TRUE(node.shortcut.empty() || a->shortcut()[0].key() != Qt::Key_unknown);
    }
    for (const auto& [parent, expected] : childrenOf) {
        std::vector<QString> shown;
        auto* bar = parent.empty() ? static_cast<QWidget*>(x.window.menuBar())
                                   : x.window.findChild<QMenu*>(q(parent));
        for (QAction* a : bar->actions())
            shown.push_back(a->isSeparator() ? "-"
                            : a->menu()      ? a->menu()->objectName()
                                             : a->objectName());
        EXPECT_EQ(shown, expected) << parent;
    }

    std::vector<QAction*> buttons;
    for (QAction* a : x.child<QToolBar>("tbrToolBar")->actions())
        if (!a->isSeparator())
            buttons.push_back(a);
    const auto& expected = monitor::terminalToolbar();
    ASSERT_EQ(buttons.size(), expected.size());
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->objectName(), q(expected[i].key));
        EXPECT_FALSE(buttons[i]->icon().isNull()) << expected[i].key;
    }
    for (auto& [key, panel] : x.t.model.sbrStatus)
        EXPECT_NE(x.window.statusBar()->findChild<QLabel*>(q(key)), nullptr) << key;
    for (auto& [key, panel] : x.t.model.sbrStatus1)
        EXPECT_NE(x.child<QStatusBar>("sbrStatus1")->findChild<QLabel*>(q(key)), nullptr) << key;
}

TEST(FrmTerminalWindow, WidgetsFollowTheModel) {
    Win x(3, true, {{"Com_monitor", "1"}, {"Dev_info", "1"}, {"Cur_unit", "2"}});
    auto& m = x.t.model;
    EXPECT_EQ(x.child("sbrStatus1")->findChild<QLabel*>("Device")->text(), "Device: 2");

    // Bytes are Latin-1; a carriage return is a line break; markup is shown as it is.
    auto* lblRs = x.child<QLabel>("lblRs");
    m.lblRs.caption = "01 \xB0"
                      "C\rnext\r\nlast <b>x</b>";
    x.refresh();
    EXPECT_EQ(lblRs->text(), QString("01 ") + QChar(0xB0) + "C\nnext\nlast <b>x</b>");
    EXPECT_EQ(lblRs->textFormat(), Qt::PlainText);

    // A very long line from the device does not widen the window.
    const int width = x.window.width();
    m.lblRs.caption = std::string(5000, 'X');
    m.sbrStatus["Status"].text = "Status: " + std::string(5000, 'Y');
    x.refresh();
    EXPECT_EQ(x.window.width(), width);

    auto* units = x.child<QComboBox>("cboCurUnit");
    m.cboCurUnit.items = {"7", "8"};
    m.cboCurUnit.itemData = {7, 8};
    m.cboCurUnit.listIndex = 1;
    x.refresh();
    ASSERT_EQ(units->count(), 2);
    EXPECT_EQ(units->currentText(), "8");

    m.cboCurUnit.enabled = false;
    m.menu("mnuOpen").enabled = false;
    m.menu("mnuTools").visible = false;
    m.menu("mnuHelpA").caption = "&About it";
    m.menu("mnuOptionsEU_SLPM").checked = true; // an entry not expected to carry a mark
    m.toolbar["Properties"].enabled = false;
    m.txtTerm.visible = true;
    m.txtTerm.caption = "typed\rreceived";
    x.refresh();
    EXPECT_FALSE(x.menu("mnuOpen")->isEnabled());
    EXPECT_FALSE(units->isEnabled());
    EXPECT_FALSE(x.menu("mnuTools")->isVisible());
    EXPECT_EQ(x.menu("mnuHelpA")->text(), "&About it");
    EXPECT_TRUE(x.menu("mnuOptionsEU_SLPM")->isChecked());
    EXPECT_FALSE(x.child<QAction>("Properties")->isEnabled());
    auto* term = x.child<QPlainTextEdit>("txtTerm");
    EXPECT_TRUE(term->isVisible());
    EXPECT_EQ(term->toPlainText(), "typed\nreceived");
}

TEST(FrmTerminalWindow, ActionsReachTheirHandlers) {
    Win x;
    auto* open = x.menu("mnuOpen");
    open->trigger();
    EXPECT_TRUE(x.w.port.portOpen());
    EXPECT_FALSE(x.child("imgNotConnected")->isVisible());
    QTest::mouseClick(x.child<QToolButton>("imgConnected"), Qt::LeftButton);
    EXPECT_FALSE(x.w.port.portOpen());
    QTest::mouseClick(x.child<QToolButton>("imgNotConnected"), Qt::LeftButton);
    EXPECT_TRUE(x.w.port.portOpen());

    // The model decides the check mark, not the toggle Qt makes when an entry is chosen; a
    // disabled entry does not run.
    int runs = 0;
    x.t.registerMenu("mnuCommProg", [&] { ++runs; });
    for (bool enabled : {true, false}) {
        x.t.setMenuEnabled("mnuCommProg", enabled);
        x.refresh();
        x.menu("mnuCommProg")->trigger();
        EXPECT_EQ(runs, 1);
        EXPECT_FALSE(x.menu("mnuCommProg")->isChecked());
    }

    x.w.op.choose(x.w.folder.file("run.log"));
    x.child<QAction>("ALogO")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(x.window.windowTitle(), "KVT Control Terminal - run.log");
    EXPECT_TRUE(x.child<QAction>("RStart")->isEnabled());
}

TEST(FrmTerminalWindow, ProgressWindowShowsTheLoader) {
    Win x(3, false);
    x.window.show();
    QWidget* progress = x.window.progressWindow();
    EXPECT_TRUE(progress->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    auto* bar = progress->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);

    x.t.Form_Load();
    QCoreApplication::processEvents();
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(progress->isModal());
    EXPECT_EQ(progress->windowTitle(), "Loading Device Info. Standby...");
    // Values outside the bar's range do not leave it standing where it was.
    for (auto [value, shown] : {std::pair{9, 9}, {22, 21}, {0, 1}}) {
        x.t.model.progressValue = value;
        x.refresh();
        EXPECT_EQ(bar->value(), shown) << value;
    }
    x.w.rt.runFor(2);
    QCoreApplication::processEvents();
    EXPECT_FALSE(progress->isVisible());
}

TEST(FrmTerminalWindow, ListsMovedByTheProgramRunNoHandler) {
    Win x(3);
    x.t.model.fraSD.visible = true;
    x.refresh();
    auto* valve = x.child<QComboBox>("cboValveS");
    x.w.takeWritten();
    for (auto [mode, index] : {std::pair{2, 2}, {0, 0}, {5, -1}}) {
        x.t.showValveMode(mode);
        QCoreApplication::processEvents();
        EXPECT_EQ(valve->currentIndex(), index) << mode;
    }
    x.w.rt.runFor(3);
    QCoreApplication::processEvents();
    EXPECT_TRUE(x.w.takeWritten().empty());

    x.t.showValveMode(2);
    QCoreApplication::processEvents();
    QTest::keyClick(valve, Qt::Key_Up);
    x.w.rt.runFor(3);
    QCoreApplication::processEvents();
    auto lines = x.w.takeWritten();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "!01,V,A"), lines.end()) << lines.size();
    QTest::keyClick(x.child<QComboBox>("cboCurUnit"), Qt::Key_Down);
    x.w.rt.runFor(5);
    EXPECT_EQ(x.t.currentDevice(), 2);
}

// Abort keeps the window while output cannot drain; Ignore lets "Exit", chosen from the event
// loop as the operator does, close it and end the program.
TEST(FrmTerminalWindow, ClosingRunsTheCloseSequence) {
    Win x;
    x.menu("mnuOpen")->trigger();
    x.w.port.stallTransmit = true;
    x.w.port.output("!01,f\r");
    x.w.op.answer(Answer::Abort);
    EXPECT_FALSE(x.window.close());
    QCoreApplication::processEvents();
    EXPECT_TRUE(x.window.isVisible());
    EXPECT_FALSE(x.t.ended);
    x.w.op.answer(Answer::Ignore);
    QTimer::singleShot(0, &x.window, [&] { x.menu("mnuFileExit")->trigger(); });
    QTimer::singleShot(10000, &x.window, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(x.t.ended);
    EXPECT_FALSE(x.window.isVisible());
    EXPECT_FALSE(static_cast<QWidget*>(x.window.progressWindow())->isVisible());
    EXPECT_TRUE(x.w.rt.shuttingDown());
}

// A second window on the same logic follows it; the first one's listener stays quiet.
TEST(FrmTerminalWindow, ModelOutlivingTheWindowIsSafe) {
    Win x(0, false);
    {
        FrmTerminalWindow gone(x.t);
        gone.setRefreshDelay(0);
        gone.show();
    }
    x.t.model.lblTr.caption = "!01,f";
    x.refresh();
    EXPECT_EQ(x.child<QLabel>("lblTr")->text(), "!01,f");
    x.w.start();
    QCoreApplication::processEvents();
    EXPECT_FALSE(x.t.loading);
}

TEST(FrmTerminalWindow, LayoutKeepsItsPlacesWhenResized) {
    Win x(3, true, {{"Com_monitor", "1"}, {"Dev_info", "1"}});
    auto& window = x.window;
    for (QSize size : {window.size(), QSize(1200, 860), window.minimumSizeHint()}) {
        window.resize(size);
        QCoreApplication::processEvents();
        const int width = window.width();
        const QRect f1 = x.inWindow(x.child("Frame1")), cd = x.inWindow(x.child("fraCD")),
                    inf = x.inWindow(x.child("FrmInfo")), send = x.inWindow(x.child("fraSendR")),
                    s1 = x.inWindow(x.child("sbrStatus1")), s = x.inWindow(window.statusBar());
        SCOPED_TRACE(::testing::Message() << width << "x" << window.height());
        const std::pair<bool, const char*> rules[] = {
            {f1.left() > width * 3 / 4, "connection icons on the right"},
            {f1.bottom() <= cd.top(), "icons above the device list"},
            {cd.right() >= width - 20 && cd.right() <= width, "device list at the right edge"},
            {inf.left() < 20 && inf.right() < cd.left(), "information left of the device list"},
            {send.top() >= inf.bottom(), "monitor below the information"},
            {send.bottom() <= s1.top() && send.bottom() >= s1.top() - 12, "monitor on the bars"},
            {s1.bottom() <= s.top() && s1.bottom() >= s.top() - 2, "status bars stacked"},
            {send.width() >= width - 30, "monitor across the window"},
        };
        for (const auto& [kept, rule] : rules)
            EXPECT_TRUE(kept) << rule;
    }
}

// Letters are dropped; Ctrl+A, Ctrl+C, Ctrl+X and Ctrl+V edit the box and never reach the valve,
// exit or input-mode entries of the menus; Enter commits; other shortcuts reach their entries.
TEST(FrmTerminalWindow, SetPointBoxKeepsItsKeysAndShortcutsReachTheirEntries) {
    Win x(1);
    x.t.menuClick("mnuAutoS");
    QCoreApplication::processEvents();
    auto* box = x.child<QLineEdit>("txtSetP");
    box->setFocus();
    box->clear();
    x.w.takeWritten();
    QTest::keyClicks(box, "1a2.5x");
    EXPECT_EQ(box->text(), "12.5");
    for (auto key : {Qt::Key_A, Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_V})
        QTest::keyClick(box, key, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "12.512.5");
    QApplication::clipboard()->setText("3,7 SLPM");
    box->clear();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "37");
    EXPECT_FALSE(x.t.ended);
    x.w.rt.runFor(0.05);
    for (const auto& line : x.w.takeWritten())
        EXPECT_EQ(line, "!01,f");
    box->setText("12.5");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(x.t.table.record(1).SetPoint, 12.5);
    EXPECT_EQ(x.child<QScrollBar>("hscSetP")->value(), 125);
    // Other shortcuts still work from the box: Ctrl+I stops single-unit monitoring, Ctrl+R and F2
    // reach theirs; Shift+Ctrl+F2 belongs to another entry, never to "Info Enable" (F2).
    QTest::keyClick(box, Qt::Key_I, Qt::ControlModifier);
    EXPECT_FALSE(x.t.engine().autoSingleMonitoring);
    QTest::keyClick(box, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(x.t.comMonitor);
    QTest::keyClick(box, Qt::Key_F2);
    EXPECT_TRUE(x.child("FrmInfo")->isVisible());
    QTest::keyClick(box, Qt::Key_F2, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_TRUE(x.t.devInfo);
}
