#pragma once

#include "service/CalibrateAD.h"
#include "ui/DialogParts.h"

#include <array>

class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabBar;

namespace kvt::ui {

// "ADC / DAC Calibration": a modal dialog that stays until its logic has closed it.
class FrmCalibrateADDialog : public LogicDialog {
public:
    FrmCalibrateADDialog(service::CalibrateAD& logic, QWidget* parent = nullptr);

    void refresh();

private:
    service::CalibrateAD& logic_;
    service::FrmCalibrateAD& model_;
    bool applying_ = false;
    QTabBar* tabs_ = nullptr;
    std::array<QFrame*, 2> pages_{};
    std::array<QRadioButton*, 2> options_{};
    QPushButton* adcStart_ = nullptr;
    QPushButton* dacStart_ = nullptr;
    QLabel* adcSpan_ = nullptr;
    QLabel* adcOffset_ = nullptr;
    QLabel* dacSpan_ = nullptr;
    QLabel* dacOffset_ = nullptr;
    QGroupBox* progressFrame_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* exit_ = nullptr;
};

} // namespace kvt::ui
