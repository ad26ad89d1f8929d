#pragma once

#include "monitor/DialogHost.h"

#include <QPointer>
#include <QWidget>

namespace kvt::ui {

// Runs the main window's modal dialogs as real windows over `parent`.
class QtDialogHost final : public monitor::DialogHost {
public:
    explicit QtDialogHost(QWidget* parent = nullptr) : parent_(parent) {}
    // The main window is built after its logic, which needs the host first.
    void setParent(QWidget* parent) { parent_ = parent; }
    QWidget* parent() const { return parent_; }

    void showProperties(monitor::FrmProperties& logic) override;
    void showAbout() override;
    void showDeviceProperties(monitor::FrmDProp& logic) override;
    void showProgram(monitor::FrmProg& logic) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace kvt::ui
