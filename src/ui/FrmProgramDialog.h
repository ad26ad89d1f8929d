#pragma once

#include "monitor/FrmProgram.h"
#include "ui/DialogParts.h"

#include <QDialog>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QCheckBox;
class QLineEdit;

namespace kvt::ui {

// "Program Mode": twelve rows of set point and approach time, End Step, Loop, and the Load, Save,
// Run and Cancel buttons. The boxes apply the logic's key rules; the dialog closes when the logic
// says so.
class FrmProgramDialog : public QDialog {
    Q_OBJECT
public:
    explicit FrmProgramDialog(monitor::FrmProg& logic, QWidget* parent = nullptr);
    ~FrmProgramDialog() override;

    void refresh();

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run(const std::function<void()>& handler);
    // Box texts into the model before a handler reads them.
    void collect();

    monitor::FrmProg& logic_;
    std::map<std::string, QLineEdit*> boxes_;
    // Which key rule each box follows: true for the set-point boxes.
    std::map<QObject*, bool> pointAllowed_;
    QCheckBox* chkLoop_ = nullptr;
    Liveness liveness_;
};

} // namespace kvt::ui
