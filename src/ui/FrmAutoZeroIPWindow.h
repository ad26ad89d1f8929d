#pragma once

#include "service/AutoZero.h"
#include "ui/DialogParts.h"

class QLabel;
class QPushButton;

namespace kvt::ui {

// The small window that follows the device's zeroing. It stays above the main window by its window
// flag alone; closing it is Cancel while zeroing runs and OK afterwards.
class FrmAutoZeroIPWindow : public LogicToolWindow {
    Q_OBJECT
public:
    FrmAutoZeroIPWindow(service::FrmAutoZeroIP& model, service::AutoZero& logic,
                        QWidget* parent = nullptr);

    void refresh();

private:
    service::FrmAutoZeroIP& model_;
    service::AutoZero& logic_;
    QLabel* label_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kvt::ui
