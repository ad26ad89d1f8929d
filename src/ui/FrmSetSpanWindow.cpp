#include "ui/FrmSetSpanWindow.h"

#include "ui/DialogParts.h"
#include "ui/WidgetText.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

FrmSetSpanWindow::FrmSetSpanWindow(service::FrmSetSpan& model, service::SpanSetting& logic,
                                   QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      model_(model), logic_(logic) {
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
    model_.subscribe([this, alive = alive_] {
        if (*alive)
            refresh();
    });
    refresh();
}

FrmSetSpanWindow::~FrmSetSpanWindow() {
    *alive_ = false;
}

void FrmSetSpanWindow::refresh() {
    setWindowTitle(shownText(model_.frmSetSpan.caption));
    label_->setText(shownText(model_.Label1.caption));
    save_->setText(shownText(model_.cmdSave.caption));
    save_->setEnabled(model_.cmdSave.enabled);
    cancel_->setText(shownText(model_.Command1.caption));
    followVisibility(*this, model_.frmSetSpan.visible);
}

void FrmSetSpanWindow::closeEvent(QCloseEvent* event) {
    // The procedure hides the window once its wait has returned.
    event->ignore();
    logic_.Form_QueryUnload();
}

void FrmSetSpanWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        logic_.Form_QueryUnload();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kvt::ui
