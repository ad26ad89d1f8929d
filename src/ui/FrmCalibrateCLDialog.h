#pragma once

#include "service/GasTable.h"
#include "ui/DialogParts.h"

#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kvt::ui {

// "Close Loop Calibration.": ten rows of flow and counts, the counts bar and the valve list. Only
// the operator's own moves of the bar reach the logic.
class FrmCalibrateCLDialog : public LogicDialog {
public:
    FrmCalibrateCLDialog(service::CalibrateCL& logic, QWidget* parent = nullptr);

    void refresh();

private:
    static constexpr std::size_t kRows = service::FrmCalibrateCL::kRows;
    service::CalibrateCL& logic_;
    service::FrmCalibrateCL& model_;
    bool applying_ = false;
    std::array<QRadioButton*, kRows> options_{};
    std::array<QLineEdit*, kRows> flows_{};
    std::array<QLineEdit*, kRows> counts_{};
    std::array<QLabel*, kRows> indexes_{};
    QScrollBar* scroll_ = nullptr;
    QListWidget* valve_ = nullptr;
    QPushButton* exit_ = nullptr;
};

} // namespace kvt::ui
