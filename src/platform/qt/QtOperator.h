#pragma once

#include "platform/Operator.h"

#include <QPointer>
#include <QWidget>

#include <string>

namespace kvt::platform::qt {

// Message and prompt texts break lines with CR (or CR LF); on screen that is one line break each.
std::string toDisplayText(std::string text);

// A chooser filter "Log Files (*.LOG)|*.log|All Files (*.*)|*.*" in Qt's form
// "Log Files (*.log);;All Files (*)". A filter without '|' is taken as Qt's form already.
std::string toQtFilter(const std::string& filter);

// The operator through Qt's standard dialogs, modal to the parent window.
class QtOperator : public Operator {
public:
    explicit QtOperator(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    Answer message(const Message& message) override;
    std::string input(const std::string& prompt, const std::string& title,
                      const std::string& defaultText) override;
    std::optional<std::string> chooseFile(const FileRequest& request) override;
    void beep() override;

private:
    QPointer<QWidget> parent_;
};

} // namespace kvt::platform::qt
