#pragma once

#include "service/ServiceDialogs.h"

class QWidget;

namespace kvt::ui {

// Runs the modal service dialogs over the main window.
class QtServiceDialogs final : public service::ServiceDialogs {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void showZeroMan(service::ZeroAdjust& dialog) override;
    void showCalibrateAD(service::CalibrateAD& dialog) override;
    void showValve(service::ValveTable& dialog) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace kvt::ui
