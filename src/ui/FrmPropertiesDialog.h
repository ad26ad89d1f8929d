#pragma once

#include "monitor/FrmProperties.h"
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

// "CommPort Properties": the widgets of the communication properties dialog, named after the
// controls of its logic's model. User actions go to the logic's handlers; the dialog closes itself
// once the logic says it is closed.
class FrmPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit FrmPropertiesDialog(monitor::FrmProperties& logic, QWidget* parent = nullptr);
    ~FrmPropertiesDialog() override;

    // Copies the model into the widgets without running any handler.
    void refresh();

public slots:
    // Escape and the window's close button act as Cancel.
    void reject() override;

private:
    // Runs a handler, shows its outcome and closes the dialog when the logic has closed.
    void run(const std::function<void()>& handler);

    monitor::FrmProperties& logic_;
    QTabBar* tabSettings_ = nullptr;
    QStackedLayout* pages_ = nullptr;
    std::map<std::string, QWidget*> controls_;
    std::map<std::string, QComboBox*> lists_;
    Liveness liveness_;
};

} // namespace kvt::ui
