#pragma once

#include "service/GasTable.h"
#include "ui/DialogParts.h"

#include <array>

class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kvt::ui {

// "Edit Gas Table": the serial number and the ten descriptive gas variables.
class FrmEditGTDialog : public LogicDialog {
public:
    FrmEditGTDialog(service::EditGasTable& logic, QWidget* parent = nullptr);

    void refresh();

private:
    static constexpr std::size_t kBoxes = service::FrmEditGT::kBoxes;
    service::EditGasTable& logic_;
    service::FrmEditGT& model_;
    std::array<QLineEdit*, kBoxes> boxes_{};
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

} // namespace kvt::ui
