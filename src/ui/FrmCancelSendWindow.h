#pragma once

#include "service/FrmCancelSend.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

namespace kvt::ui {

// The small window that stops a repeated transmission. It stays above the main window by its
// window flag alone and never takes the activation back; closing it is the same as Cancel.
class FrmCancelSendWindow : public QWidget {
    Q_OBJECT
public:
    explicit FrmCancelSendWindow(service::FrmCancelSend& model, QWidget* parent = nullptr);
    ~FrmCancelSendWindow() override { *alive_ = false; }

    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    service::FrmCancelSend& model_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    QLabel* label_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kvt::ui
