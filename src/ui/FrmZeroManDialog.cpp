#include "ui/FrmZeroManDialog.h"

#include "ui/WidgetText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace kvt::ui {

FrmZeroManDialog::FrmZeroManDialog(service::ZeroAdjust& logic, QWidget* parent)
    : LogicDialog(
          parent, [&logic] { return logic.closed(); }, [&logic] { logic.Form_QueryUnload(); }),
      logic_(logic), model_(logic.model) {
    setObjectName("frmZeroMan");
    auto* grid = new QGridLayout(this);
    scroll_ = named(new QScrollBar(Qt::Vertical, this), "VScroll1");
    scroll_->setInvertedAppearance(true); // 4095 at the top
    scroll_->setInvertedControls(true);
    scroll_->setMinimumHeight(160);
    label1_ = named(new QLabel(this), "Label1");
    label1_->setFrameShape(QFrame::Panel);
    label1_->setFrameShadow(QFrame::Sunken);
    label1_->setMinimumWidth(80);
    text1_ = named(new QLineEdit(this), "Text1");
    text1_->setMaximumWidth(100);
    filterKeys(text1_, [this](int code) { return logic_.Text1_KeyPress(code); });
    save_ = button(this, "cmdSave", [this] { logic_.cmdSave_Click(); });
    exit_ = button(this, "cmdExit", [this] { logic_.cmdExit_Click(); });
    grid->addWidget(scroll_, 0, 0, 4, 1);
    labelledRow(grid, 0, latin1(model_.lblSensor.caption), label1_, 1);
    labelledRow(grid, 1, latin1(model_.lblZero.caption), text1_, 1);
    grid->addLayout(buttonRow({save_, exit_}), 3, 1, 1, 2);

    connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!applying_)
            logic_.VScroll1_Change(v);
    });
    connect(text1_, &QLineEdit::textEdited, this,
            [this](const QString& t) { logic_.Text1_Change(latin1Bytes(t)); });
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmZeroManDialog::refresh() {
    applying_ = true;
    setWindowTitle(latin1(model_.frmZeroMan.caption));
    const auto& bar = model_.VScroll1;
    scroll_->setRange(bar.min, bar.max);
    scroll_->setPageStep(bar.largeChange);
    scroll_->setValue(bar.value);
    scroll_->setEnabled(bar.enabled);
    if (text1_->text() != latin1(model_.Text1.caption))
        text1_->setText(latin1(model_.Text1.caption));
    label1_->setText(latin1(model_.Label1.caption));
    follow(save_, model_.cmdSave);
    follow(exit_, model_.cmdExit);
    applying_ = false;
    finishIfClosed();
}

} // namespace kvt::ui
