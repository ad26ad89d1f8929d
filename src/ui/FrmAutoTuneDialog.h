#pragma once

#include "service/AutoTune.h"
#include "ui/DialogParts.h"

#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace kvt::ui {

// "PID AutoTune": set point, PID constants, mode, and the tuning status.
class FrmAutoTuneDialog : public LogicDialog {
public:
    FrmAutoTuneDialog(service::AutoTune& logic, QWidget* parent = nullptr);

    void refresh();

private:
    service::AutoTune& logic_;
    service::FrmAutoTune& model_;
    bool applying_ = false;
    QListWidget* list_ = nullptr;
    std::array<QLineEdit*, 3> pid_{};
    std::array<QRadioButton*, 2> modes_{};
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* exit_ = nullptr;
    QLabel* msg_ = nullptr;
};

} // namespace kvt::ui
