#pragma once

#include "service/FrmCancelSend.h"
#include "ui/DialogParts.h"

class QLabel;
class QPushButton;

namespace kvt::ui {

// The small window that stops a repeated transmission. It stays above the main window by its
// window flag alone and never takes the activation back; closing it is the same as Cancel.
class FrmCancelSendWindow : public LogicToolWindow {
    Q_OBJECT
public:
    explicit FrmCancelSendWindow(service::FrmCancelSend& model, QWidget* parent = nullptr);

    void refresh();

private:
    service::FrmCancelSend& model_;
    QLabel* label_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kvt::ui
