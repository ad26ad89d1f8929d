#include "ui/FrmCancelSendWindow.h"

#include "ui/DialogParts.h"
#include "ui/WidgetText.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvt::ui {

FrmCancelSendWindow::FrmCancelSendWindow(service::FrmCancelSend& model, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      model_(model) {
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
    model_.subscribe([this, alive = alive_] {
        if (*alive)
            refresh();
    });
    refresh();
}

void FrmCancelSendWindow::refresh() {
    setWindowTitle(latin1(model_.frmCancelSend.caption));
    label_->setText(latin1(model_.Label1.caption));
    follow(cancel_, model_.cmdCancel);
    followVisibility(*this, model_.frmCancelSend.visible);
}

void FrmCancelSendWindow::closeEvent(QCloseEvent* event) {
    // The reading loop hides the window once its wait has returned.
    event->ignore();
    model_.Form_QueryUnload();
}

void FrmCancelSendWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        model_.Form_QueryUnload();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kvt::ui
