#pragma once

#include "monitor/FrmDProp.h"
#include "ui/DialogParts.h"

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QComboBox;
class QStackedLayout;
class QTabBar;

namespace kvt::ui {

// The device properties dialog: widgets named after the controls of its logic's model. User
// actions go to the logic's handlers; the dialog closes itself once the logic says it is closed.
class FrmDPropDialog : public QDialog {
    Q_OBJECT
public:
    explicit FrmDPropDialog(monitor::FrmDProp& logic, QWidget* parent = nullptr);
    ~FrmDPropDialog() override;

    // Copies the model into the widgets without running any handler.
    void refresh();

public slots:
    // Escape and the window's close button act as Cancel.
    void reject() override;

private:
    void run(const std::function<void()>& handler);

    monitor::FrmDProp& logic_;
    QTabBar* tabSettings_ = nullptr;
    QStackedLayout* pages_ = nullptr;
    std::map<std::string, QWidget*> controls_;
    std::map<std::string, QComboBox*> lists_;
    Liveness liveness_;
};

} // namespace kvt::ui
