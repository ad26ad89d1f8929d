#pragma once

#include "service/ZeroAdjust.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kvt::ui {

// "Zero Adjustment (Manual)": a modal dialog that stays until its logic has closed it. Only the
// operator's own moves of the bar reach the logic.
class FrmZeroManDialog : public QDialog {
    Q_OBJECT
public:
    FrmZeroManDialog(service::ZeroAdjust& logic, QWidget* parent = nullptr);
    ~FrmZeroManDialog() override;

    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Esc
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    service::ZeroAdjust& logic_;
    service::FrmZeroMan& model_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool applying_ = false; // the widgets are following the model
    QScrollBar* scroll_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLabel* label1_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* exit_ = nullptr;
};

} // namespace kvt::ui
