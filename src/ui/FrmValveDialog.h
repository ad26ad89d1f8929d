#pragma once

#include "service/ValveTable.h"
#include "ui/DialogParts.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QScrollBar;

namespace kvt::ui {

// "Valve Table Adjustment": a modal dialog that stays until its logic has closed it. Only the
// operator's own moves of the bar reach the logic.
class FrmValveDialog : public LogicDialog {
public:
    FrmValveDialog(service::ValveTable& logic, QWidget* parent = nullptr);

    void refresh();

private:
    service::ValveTable& logic_;
    service::FrmValve& model_;
    bool applying_ = false;
    QGroupBox* frame1_ = nullptr;
    QListWidget* list1_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QPushButton* edit_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    QPushButton* ready_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* msg_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* exit_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

} // namespace kvt::ui
