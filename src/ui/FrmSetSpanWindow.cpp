#include "ui/FrmSetSpanWindow.h"

#include "ui/DialogParts.h"
#include "ui/WidgetText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

FrmSetSpanWindow::FrmSetSpanWindow(service::FrmSetSpan& model, service::SpanSetting& logic,
                                   QWidget* parent)
    : LogicToolWindow(parent, [&logic] { logic.Form_QueryUnload(); }), model_(model),
      logic_(logic) {
    setObjectName("frmSetSpan");
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(this);
    label_->setObjectName("Label1");
    label_->setWordWrap(true);
    label_->setFixedWidth(420);
    auto* buttons = new QHBoxLayout;
    save_ = button(this, "cmdSave", [this] { logic_.cmdSave_Click(); });
    cancel_ = button(this, "Command1", [this] { logic_.Command1_Click(); });
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    layout->addWidget(label_);
    layout->addLayout(buttons);
    model_.subscribe(whileAlive([this] { refresh(); }));
    refresh();
}

void FrmSetSpanWindow::refresh() {
    setWindowTitle(shownText(model_.frmSetSpan.caption));
    label_->setText(shownText(model_.Label1.caption));
    save_->setText(shownText(model_.cmdSave.caption));
    save_->setEnabled(model_.cmdSave.enabled);
    cancel_->setText(shownText(model_.Command1.caption));
    followVisibility(*this, model_.frmSetSpan.visible);
}

} // namespace kvt::ui
