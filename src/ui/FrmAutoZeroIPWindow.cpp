#include "ui/FrmAutoZeroIPWindow.h"

#include "ui/DialogParts.h"
#include "ui/WidgetText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

FrmAutoZeroIPWindow::FrmAutoZeroIPWindow(service::FrmAutoZeroIP& model, service::AutoZero& logic,
                                         QWidget* parent)
    : LogicToolWindow(parent, [&logic] { logic.Form_QueryUnload(); }), model_(model),
      logic_(logic) {
    setObjectName("frmAutoZeroIP");
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(this);
    label_->setObjectName("Label1");
    label_->setMinimumWidth(380);
    auto* buttons = new QHBoxLayout;
    ok_ = button(this, "CmdOK", [this] { logic_.CmdOK_Click(); });
    cancel_ = button(this, "cmdCancel", [this] { logic_.cmdCancel_Click(); });
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    layout->addWidget(label_);
    layout->addLayout(buttons);
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmAutoZeroIPWindow::refresh() {
    setWindowTitle(latin1(model_.frmAutoZeroIP.caption));
    label_->setText(latin1(model_.Label1.caption));
    ok_->setText(latin1(model_.CmdOK.caption));
    ok_->setVisible(model_.CmdOK.visible);
    cancel_->setText(latin1(model_.cmdCancel.caption));
    cancel_->setVisible(model_.cmdCancel.visible);
    followVisibility(*this, model_.frmAutoZeroIP.visible);
}

} // namespace kvt::ui
