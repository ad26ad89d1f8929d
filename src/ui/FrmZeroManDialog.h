#pragma once

#include "service/ZeroAdjust.h"
#include "ui/DialogParts.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kvt::ui {

// "Zero Adjustment (Manual)": a modal dialog that stays until its logic has closed it. Only the
// operator's own moves of the bar reach the logic.
class FrmZeroManDialog : public LogicDialog {
public:
    FrmZeroManDialog(service::ZeroAdjust& logic, QWidget* parent = nullptr);

    void refresh();

private:
    service::ZeroAdjust& logic_;
    service::FrmZeroMan& model_;
    bool applying_ = false; // the widgets are following the model
    QScrollBar* scroll_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLabel* label1_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* exit_ = nullptr;
};

} // namespace kvt::ui
