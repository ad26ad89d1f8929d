#include "monitor/FrmProgram.h"
#include "support/TerminalWorld.h"
#include "ui/FrmProgramDialog.h"
#include "ui/FrmTerminalWindow.h"
#include "ui/WidgetKit.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

// A started RS-232 terminal with its window shown and active, the transcript and boxes cleared.
struct WindowBench : kvt::testing::MainWindow {
    explicit WindowBench(bool echo = false)
        : MainWindow(0, true, {{"Echo", echo ? "True" : "False"}}) {
        t.model.txtTerm.caption.clear();
        w.op.shown.clear();
        QCoreApplication::processEvents();
    }
    // The bytes written since the last mark.
    std::string written() {
        std::string out;
        for (std::size_t i = from; i < w.port.written.size(); ++i)
            out += w.port.written[i];
        return out;
    }
    void mark() { from = w.port.written.size(); }
    std::size_t from = 0;
};

} // namespace

TEST(ProgramDialogWidget, BoxesFollowTheKeyRulesAndRunCloses) {
    WindowBench b;
    monitor::FrmProg logic(b.t, b.t.program());
    logic.Form_Load();
    ui::FrmProgramDialog dialog(logic);
    dialog.show();
    kvt::testing::expectEveryControl(logic.model, dialog);
    for (const char* name : {"cmdLoad", "cmdSave", "cmdRun", "cmdCancel"})
        EXPECT_NE(dialog.findChild<QPushButton*>(name), nullptr) << name;
    EXPECT_EQ(dialog.findChild<QCheckBox*>("chkLoop")->toolTip(), "Programm Loop Mode");

    auto* sp = dialog.findChild<QLineEdit*>("txtSP(0)");
    auto* time = dialog.findChild<QLineEdit*>("txtTime(0)");
    QTest::keyClicks(sp, "5x0.5");
    QTest::keyClicks(time, "1.0");
    EXPECT_EQ(sp->text(), "50.5");
    QApplication::clipboard()->setText("a2.5\n");
    dialog.findChild<QLineEdit*>("txtSP(1)")->setFocus();
    QTest::keySequence(dialog.findChild<QLineEdit*>("txtSP(1)"), QKeySequence::Paste);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("txtSP(1)")->text(), "2.5");

    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdRun"), Qt::LeftButton);
    EXPECT_TRUE(logic.model.closed);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(b.t.program().table.rows[0], (monitor::ProgramRow{"50.5", "10"}));
    b.t.program().Command1_Click(); // the run that Timer9 starts ends at once
    b.w.rt.runUntilIdle(5);

    // The model outlives its dialogs; a later change must not reach a destroyed one.
    { ui::FrmProgramDialog gone(logic); }
    logic.model.changed();
}

TEST(ProgramPanelWidget, ShowsTheRunAndQuitEndsIt) {
    WindowBench b;
    auto& runner = b.t.program();
    runner.table.rows[0] = {"50", "0"};
    runner.table.rows[1] = {"80", "4"};
    runner.stepCount = 2;
    b.w.rt.schedule(1.0, [&] {
        QCoreApplication::processEvents();
        for (auto [label, text] :
             {std::pair{"lblStep", "2"}, {"lblVtA", "80"}, {"lblDur", "4"}, {"lblEU1", "SLPM"}})
            EXPECT_EQ(b.window.findChild<QLabel*>(label)->text(), text) << label;
        EXPECT_GE(b.window.findChild<QProgressBar*>("ProgressBar2")->value(), 50);
        QTest::mouseClick(b.window.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    });
    runner.start();
    b.w.rt.runFor(0.1);
    b.w.rt.runUntilIdle(10);
    QCoreApplication::processEvents();
    EXPECT_FALSE(runner.running());
    EXPECT_LT(b.w.rt.now(), 4.0);
}

TEST(TeletypeWidget, KeysGoToTheLineAndEditingShortcutsStayInTheText) {
    WindowBench b(true);
    QTest::keyClick(&b.window, Qt::Key_F1); // "&Start"
    auto* term = b.child<QPlainTextEdit>("txtTerm");
    ASSERT_TRUE(term && term->isVisible());
    b.w.port.dropReplies = true; // the text holds only what was typed
    b.mark();
    term->setFocus();
    QTest::keyClicks(term, "f");
    QTest::keyClick(term, Qt::Key_Return);
    EXPECT_EQ(b.written(), "f\r");

    // Ctrl+A and Ctrl+C select and copy; Ctrl+C is not "Close" of the valve menu.
    b.mark();
    QTest::keyClick(term, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(term, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "f\n");
    EXPECT_EQ(b.written(), "");
    // Ctrl+V sends the pasted text as typed; line ends go as CR.
    QApplication::clipboard()->setText("t,r\n");
    QTest::keyClick(term, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(b.written(), "t,r\r");

    auto* line = b.child<QLineEdit>("txtLine");
    QTest::mouseClick(b.child("chkLineMode"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(line->hasFocus());
    b.mark();
    QTest::keyClicks(line, "f,1");
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_EQ(b.written(), "f,1\r");
    QTest::keyClick(line, Qt::Key_Up);
    EXPECT_EQ(line->text(), "f,1");

    QTest::mouseClick(b.child("chkHex"), Qt::LeftButton);
    QCoreApplication::processEvents();
    auto* hex = b.child<QPlainTextEdit>("txtHex");
    EXPECT_TRUE(hex->isVisible());
    EXPECT_TRUE(hex->toPlainText().contains("TX 66 2C 31 0D")) << hex->toPlainText().toStdString();

    QTest::keyClick(&b.window, Qt::Key_Q, Qt::ControlModifier); // "&Stop" from anywhere
    QCoreApplication::processEvents();
    EXPECT_FALSE(b.w.port.portOpen());
    EXPECT_FALSE(b.child("fraTermBar")->isVisible());
}
