#pragma once

#include "service/AutoZero.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

namespace kvt::ui {

// The small window that follows the device's zeroing. It stays above the main window by its window
// flag alone; closing it is Cancel while zeroing runs and OK afterwards.
class FrmAutoZeroIPWindow : public QWidget {
    Q_OBJECT
public:
    FrmAutoZeroIPWindow(service::FrmAutoZeroIP& model, service::AutoZero& logic,
                        QWidget* parent = nullptr);
    ~FrmAutoZeroIPWindow() override;

    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    service::FrmAutoZeroIP& model_;
    service::AutoZero& logic_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    QLabel* label_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kvt::ui
