#include "platform/qt/QtOperator.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace kvt::platform::qt {
namespace {

TEST(QtOperator, DisplayText) {
    EXPECT_EQ(toDisplayText("Zeroing failed\rCheck connection and try again!\r[ZE]"),
              "Zeroing failed\nCheck connection and try again!\n[ZE]");
    EXPECT_EQ(toDisplayText("one\r\ntwo"), "one\ntwo");     // CR LF is one break
    EXPECT_EQ(toDisplayText("one\r\r\ntwo"), "one\n\ntwo"); // CR, then CR LF
    EXPECT_EQ(toDisplayText("one\n\rtwo"), "one\n\ntwo");   // LF CR is two
    EXPECT_EQ(toDisplayText("\r"), "\n");
    EXPECT_EQ(toDisplayText("end\r\n"), "end\n");
    EXPECT_EQ(toDisplayText(""), "");
    EXPECT_EQ(toDisplayText("5 \xB5m <b>"), "5 \xB5m <b>");
}

TEST(QtOperator, ChooserFilter) {
    EXPECT_EQ(toQtFilter("Log Files (*.LOG)|*.log|All Files (*.*)|*.*"),
              "Log Files (*.log);;All Files (*)");
    EXPECT_EQ(toQtFilter("Program Files (*.PRG)|*.prg"), "Program Files (*.prg)");
    EXPECT_EQ(toQtFilter("Text|*.txt;*.TXT"), "Text (*.txt *.TXT)");
    EXPECT_EQ(toQtFilter("Images (*.png *.jpg)"), "Images (*.png *.jpg)"); // already Qt's form
    EXPECT_EQ(toQtFilter("Odd|"), "Odd (*)");
    EXPECT_EQ(toQtFilter(""), "");
}

// Runs `act` on the first visible modal dialog of type T once it is shown; if none turns up, or
// `act` does not close it, the dialog is rejected after a while so the test fails instead of
// hanging.
template <typename T> class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(T*)> act) : act_(std::move(act)) {
        poll_.setInterval(10);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            poll_.stop();
            seen_ = true;
            act_(dialog);
        });
        poll_.start();
        limit_.setSingleShot(true);
        QObject::connect(&limit_, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        limit_.start(5000);
    }
    bool seen() const { return seen_; }

private:
    std::function<void(T*)> act_;
    QTimer poll_;
    QTimer limit_;
    bool seen_ = false;
};

TEST(QtOperator, MessageBoxes) {
    QtOperator op;
    {
        QString text;
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        DialogAnswer<QMessageBox> answer([&](QMessageBox* box) {
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            defaultButton = box->standardButton(box->defaultButton());
            box->button(QMessageBox::Yes)->click();
        });
        const Answer got = op.message({"Remove device 3?\rIt cannot be undone.", "System Monitor",
                                       Buttons::YesNo, Icon::Exclamation, 1});
        ASSERT_TRUE(answer.seen());
        EXPECT_EQ(got, Answer::Yes);
        EXPECT_EQ(text, "Remove device 3?\nIt cannot be undone.");
        EXPECT_EQ(title, "System Monitor");
        EXPECT_EQ(icon, QMessageBox::Warning);
        EXPECT_EQ(defaultButton, QMessageBox::No);
    }
    {
        // Escape on a Yes/No question means No.
        DialogAnswer<QMessageBox> answer(
            [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        EXPECT_EQ(op.message({"Sure?", "System Monitor", Buttons::YesNo, Icon::Question, 0}),
                  Answer::No);
        ASSERT_TRUE(answer.seen());
    }
    for (auto [button, expected] : {std::pair{QMessageBox::Abort, Answer::Abort},
                                    std::pair{QMessageBox::Retry, Answer::Retry},
                                    std::pair{QMessageBox::Ignore, Answer::Ignore}}) {
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        int buttons = 0;
        DialogAnswer<QMessageBox> answer([&, button = button](QMessageBox* box) {
            defaultButton = box->standardButton(box->defaultButton());
            buttons = static_cast<int>(box->buttons().size());
            box->button(button)->click();
        });
        EXPECT_EQ(op.message({"Data cannot be sent", "KVT Control Terminal",
                              Buttons::AbortRetryIgnore, Icon::Question, 0}),
                  expected);
        ASSERT_TRUE(answer.seen());
        EXPECT_EQ(defaultButton, QMessageBox::Abort);
        EXPECT_EQ(buttons, 3);
    }
    {
        // Markup-looking text is shown as it is.
        QString shown;
        DialogAnswer<QMessageBox> answer([&](QMessageBox* box) {
            shown = box->findChild<QLabel*>("qt_msgbox_label")->text();
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            box->button(QMessageBox::Cancel)->click();
        });
        EXPECT_EQ(op.message({"Reply: <b>ZE</b>", "", Buttons::OkCancel, Icon::None, 7}),
                  Answer::Cancel);
        EXPECT_EQ(shown, "Reply: <b>ZE</b>");
    }
}

TEST(QtOperator, InputBox) {
    QtOperator op;
    {
        QString prompt;
        QString proposed;
        DialogAnswer<QInputDialog> answer([&](QInputDialog* dialog) {
            prompt = dialog->labelText();
            proposed = dialog->textValue();
            dialog->setTextValue(QString::fromLatin1("2,5 \xB5l"));
            dialog->accept();
        });
        EXPECT_EQ(op.input("Enter K factor\r(0 to 10)", "System Monitor", "1.000"), "2,5 \xB5l");
        ASSERT_TRUE(answer.seen());
        EXPECT_EQ(prompt, "Enter K factor\n(0 to 10)");
        EXPECT_EQ(proposed, "1.000");
    }
    {
        DialogAnswer<QInputDialog> answer([](QInputDialog* dialog) { dialog->reject(); });
        EXPECT_EQ(op.input("Enter K factor", "System Monitor", "1.000"), "");
        ASSERT_TRUE(answer.seen());
    }
}

TEST(QtOperator, FileChooser) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtOperator op;
    const std::string folder = dir.path().toStdString();
    const FileRequest save{"Save Program to the File",
                           "Program Files (*.PRG)|*.prg|All Files (*.*)|*.*",
                           folder + "/My_Prog1.prg", true};
    {
        QString title;
        QStringList proposed;
        DialogAnswer<QFileDialog> answer([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            proposed = dialog->selectedFiles();
            dialog->reject();
        });
        EXPECT_EQ(op.chooseFile(save), std::nullopt);
        ASSERT_TRUE(answer.seen());
        EXPECT_EQ(title, "Save Program to the File");
        EXPECT_EQ(proposed, QStringList{dir.path() + "/My_Prog1.prg"});
    }
    {
        // A name typed without extension gets the filter's one. It is typed into the name box:
        // selectFile() leaves that box alone once it has the focus, which a shown dialog gives it
        // a moment later or not, so the test would depend on timing.
        DialogAnswer<QFileDialog> answer([&](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText("ramp");
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() is protected
        });
        EXPECT_EQ(op.chooseFile(save), folder + "/ramp.prg");
    }
}

} // namespace
} // namespace kvt::platform::qt
