#include "ui/FrmCancelSendWindow.h"

#include "ui/DialogParts.h"
#include "ui/WidgetText.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

FrmCancelSendWindow::FrmCancelSendWindow(service::FrmCancelSend& model, QWidget* parent)
    : LogicToolWindow(parent, [&model] { model.Form_QueryUnload(); }), model_(model) {
    setObjectName("frmCancelSend");
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(this);
    label_->setObjectName("Label1");
    label_->setMinimumWidth(360);
    label_->setAlignment(Qt::AlignCenter);
    cancel_ = new QPushButton(this);
    cancel_->setObjectName("cmdCancel");
    cancel_->setDefault(true);
    layout->addWidget(label_);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    connect(cancel_, &QPushButton::clicked, this, [this] { model_.cmdCancel_Click(); });
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmCancelSendWindow::refresh() {
    setWindowTitle(latin1(model_.frmCancelSend.caption));
    label_->setText(latin1(model_.Label1.caption));
    follow(cancel_, model_.cmdCancel);
    followVisibility(*this, model_.frmCancelSend.visible);
}

} // namespace kvt::ui
