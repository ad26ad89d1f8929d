#include "ui/FrmEditGTDialog.h"

#include "ui/WidgetText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

FrmEditGTDialog::FrmEditGTDialog(service::EditGasTable& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmEditGT");
    static const char* const kCaptions[kBoxes] = {
        "Serial Number          :", "Gas Identifier [1-10] :",   "Full Scale Range     :",
        "Std. Temperature    :",    "Standard Pressure  :",      "Standard Density    :",
        "Calibration Gas       :",  "Calibrated by           :", "Calibrated at           :",
        "Calibration Date      :",  "Calibration Due Date :"};
    static const char* const kUnits[kBoxes] = {"", "", "SLPM", "F", "PSI", "", "", "", "", "", ""};
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (std::size_t k = 0; k < kBoxes; ++k) {
        const int row = static_cast<int>(k);
        grid->addWidget(new QLabel(k == 0 ? "    1" : QString::number(99 + row), this), row, 0);
        boxes_[k] = named(new QLineEdit(this), "Text2_" + QString::number(row));
        boxes_[k]->setMinimumWidth(200);
        labelledRow(grid, row, kCaptions[k], boxes_[k], 1);
        grid->addWidget(new QLabel(kUnits[k], this), row, 3);
        connect(boxes_[k], &QLineEdit::textEdited, this,
                [this, row](const QString& t) { logic_.Text2_Change(row, latin1Bytes(t)); });
    }
    layout->addLayout(grid);
    progress_ = named(new QProgressBar(this), "ProgBar1");
    progress_->setRange(0, 10);
    // The bar keeps its room so the dialog does not jump when saving starts.
    auto policy = progress_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    progress_->setSizePolicy(policy);
    layout->addWidget(progress_);
    save_ = button(this, "cmdSave", [this] { logic_.cmdSave_Click(); });
    cancel_ = button(this, "cmdCancel", [this] { logic_.cmdCancel_Click(); });
    layout->addLayout(buttonRow({}, {save_, cancel_}));
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmEditGTDialog::refresh() {
    setWindowTitle(latin1(model_.frmEditGT.caption));
    for (std::size_t k = 0; k < kBoxes; ++k) {
        if (boxes_[k]->text() != latin1(model_.Text2[k].caption))
            boxes_[k]->setText(latin1(model_.Text2[k].caption));
        boxes_[k]->setEnabled(model_.Text2[k].enabled && model_.cmdCancel.enabled);
    }
    follow(save_, model_.cmdSave);
    follow(cancel_, model_.cmdCancel);
    progress_->setValue(model_.progress);
    progress_->setVisible(model_.ProgBar1.visible);
    finishIfClosed();
}

} // namespace kvt::ui
