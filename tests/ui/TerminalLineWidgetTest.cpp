#include "monitor/TerminalLine.h"
#include "monitor/TerminalWindow.h"
#include "support/TerminalWorld.h"
#include "ui/FrmTerminalWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace kvt;
using kvt::testing::deviceRecord;
using kvt::testing::TerminalWorld;

TEST(TerminalLineWidget, LineModeSendsBrowsesAndHexShowsTheTraffic) {
    TerminalWorld w{sim::LineMode::Rs232, {deviceRecord("1", "01")}};
    w.prefs.save("KVT Control Terminal", "Properties", "Echo", "False");
    ui::FrmTerminalWindow window(w.terminal());
    window.setRefreshDelay(0);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    w.start();
    auto find = [&](const char* name) { return window.findChild<QWidget*>(name); };
    EXPECT_FALSE(find("fraTermBar")->isVisible());

    QTest::keyClick(&window, Qt::Key_F1); // "&Start"
    QCoreApplication::processEvents();
    ASSERT_TRUE(find("fraTermBar")->isVisible());
    auto* line = window.findChild<QLineEdit*>("txtLine");
    EXPECT_FALSE(line->isVisible());
    QTest::mouseClick(window.findChild<QCheckBox*>("chkLineMode"), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(line->isVisible());
    EXPECT_TRUE(line->hasFocus());
    EXPECT_TRUE(find("chkAddress")->isVisible());

    w.port.dropReplies = true;
    const std::size_t from = w.port.written.size();
    QTest::keyClicks(line, "f,1");
    QTest::keyClick(line, Qt::Key_Return);
    ASSERT_EQ(w.port.written.size(), from + 1);
    EXPECT_EQ(w.port.written.back(), "f,1\r");
    EXPECT_EQ(line->text(), "");
    QTest::keyClicks(line, "dra");
    QTest::keyClick(line, Qt::Key_Up);
    EXPECT_EQ(line->text(), "f,1");
    QTest::keyClick(line, Qt::Key_Down);
    EXPECT_EQ(line->text(), "dra");

    QTest::mouseClick(window.findChild<QCheckBox*>("chkHex"), Qt::LeftButton);
    QCoreApplication::processEvents();
    auto* hex = window.findChild<QPlainTextEdit*>("txtHex");
    EXPECT_TRUE(hex->isVisible());
    EXPECT_FALSE(find("txtTerm")->isVisible());
    EXPECT_TRUE(find("chkTimes")->isEnabled());
    EXPECT_TRUE(hex->toPlainText().contains("TX 66 2C 31 0D")) << hex->toPlainText().toStdString();
    w.port.injectReceived("F+1\r\n");
    w.rt.runFor(0.05);
    QCoreApplication::processEvents();
    EXPECT_TRUE(hex->toPlainText().contains("  F+1..\n")) << hex->toPlainText().toStdString();
    if (auto dir = qEnvironmentVariable("KVT_SCREENSHOT_DIR"); !dir.isEmpty()) {
        QTest::qWait(50); // the layout settles
        EXPECT_TRUE(window.grab().save(dir + "/terminal-hex.png"));
    }

    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier); // "&Stop"
    QCoreApplication::processEvents();
    EXPECT_FALSE(find("fraTermBar")->isVisible());
    EXPECT_FALSE(hex->isVisible());
}
