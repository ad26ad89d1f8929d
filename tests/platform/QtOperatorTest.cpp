#include "platform/qt/QtOperator.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace kvt::platform::qt {
namespace {

TEST(QtOperator, DisplayText) {
    // CR LF is one break; CR, then CR LF, and LF CR are two.
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        {"Zeroing failed\rCheck connection and try again!\r[ZE]",
         "Zeroing failed\nCheck connection and try again!\n[ZE]"},
        {"one\r\ntwo", "one\ntwo"}, {"one\r\r\ntwo", "one\n\ntwo"}, {"one\n\rtwo", "one\n\ntwo"},
        {"\r", "\n"}, {"end\r\n", "end\n"}, {"", ""}, {"5 \xB5m <b>", "5 \xB5m <b>"}};
    // clang-format on
    for (const auto& [text, shown] : rows)
        EXPECT_EQ(toDisplayText(text), shown) << text;
}

TEST(QtOperator, ChooserFilter) {
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        {"Log Files (*.LOG)|*.log|All Files (*.*)|*.*", "Log Files (*.log);;All Files (*)"},
        {"Text|*.txt;*.TXT", "Text (*.txt *.TXT)"},
        {"Images (*.png *.jpg)", "Images (*.png *.jpg)"}, // already Qt's form
        {"Odd|", "Odd (*)"}, {"", ""}};
    // clang-format on
    for (const auto& [filter, qt] : rows)
        EXPECT_EQ(toQtFilter(filter), qt) << filter;
}

// Runs `act` on the first visible modal dialog of type T once it is shown; if none turns up, or
// `act` does not close it, the dialog is rejected after a while so the test fails instead of
// hanging.
template <typename T> class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(T*)> act) : act_(std::move(act)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            poll_.stop();
            seen_ = true;
            act_(dialog);
        });
        poll_.start(10);
        QTimer::singleShot(5000, &poll_, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
    }
    bool seen() const { return seen_; }

private:
    std::function<void(T*)> act_;
    QTimer poll_;
    bool seen_ = false;
};

TEST(QtOperator, MessageBoxes) {
    QtOperator op;
    using B = QMessageBox;
    struct Row {
        Message message;
        B::StandardButton press; // NoButton: Escape
        Answer answer;
        QString shown; // title, text, icon, default button, buttons
    };
    const Message remove{"Remove device 3?\rIt cannot be undone.", "System Monitor", Buttons::YesNo,
                         Icon::Exclamation, 1};
    const Message sure{"Sure?", "System Monitor", Buttons::YesNo, Icon::Question, 0};
    const Message ari{"Data cannot be sent", "", Buttons::AbortRetryIgnore, Icon::Question, 0};
    const Message markup{"Reply: <b>ZE</b>", "", Buttons::OkCancel, Icon::None, 7};
    const Row rows[] = {
        {remove, B::Yes, Answer::Yes,
         "System Monitor|Remove device 3?\nIt cannot be undone.|2|65536|2"},
        {sure, B::NoButton, Answer::No, "System Monitor|Sure?|4|16384|2"}, // Escape means No
        {ari, B::Abort, Answer::Abort, "|Data cannot be sent|4|262144|3"},
        {ari, B::Retry, Answer::Retry, "|Data cannot be sent|4|262144|3"},
        {ari, B::Ignore, Answer::Ignore, "|Data cannot be sent|4|262144|3"},
        {markup, B::Cancel, Answer::Cancel, "|Reply: <b>ZE</b>|0|1024|2"}, // shown as it is
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.message.text);
        QString shown;
        DialogAnswer<QMessageBox> answer([&](QMessageBox* box) {
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            shown = box->windowTitle() + "|" + box->findChild<QLabel*>("qt_msgbox_label")->text() +
                    "|" + QString::number(box->icon()) + "|" +
                    QString::number(box->standardButton(box->defaultButton())) + "|" +
                    QString::number(box->buttons().size());
            if (r.press == B::NoButton)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(r.press)->click();
        });
        EXPECT_EQ(op.message(r.message), r.answer);
        ASSERT_TRUE(answer.seen());
        EXPECT_EQ(shown, r.shown);
    }
}

TEST(QtOperator, InputBox) {
    QtOperator op;
    for (bool accept : {true, false}) {
        QString prompt;
        DialogAnswer<QInputDialog> answer([&](QInputDialog* dialog) {
            prompt = dialog->labelText() + "|" + dialog->textValue();
            dialog->setTextValue(QString::fromLatin1("2,5 \xB5l"));
            accept ? dialog->accept() : dialog->reject();
        });
        EXPECT_EQ(op.input("Enter K factor\r(0 to 10)", "System Monitor", "1.000"),
                  accept ? "2,5 \xB5l" : "");
        ASSERT_TRUE(answer.seen());
        EXPECT_EQ(prompt, "Enter K factor\n(0 to 10)|1.000");
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
        QStringList shown;
        DialogAnswer<QFileDialog> answer([&](QFileDialog* dialog) {
            shown = QStringList{dialog->windowTitle()} + dialog->selectedFiles();
            dialog->reject();
        });
        EXPECT_EQ(op.chooseFile(save), std::nullopt);
        ASSERT_TRUE(answer.seen());
        EXPECT_EQ(shown, (QStringList{"Save Program to the File", dir.path() + "/My_Prog1.prg"}));
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
