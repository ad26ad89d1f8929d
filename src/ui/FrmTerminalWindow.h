#pragma once

#include "monitor/FrmTerminalModel.h"
#include "monitor/PortController.h"

#include <QMainWindow>
#include <map>

class QLabel;
class QAction;
class QToolButton;

namespace kvt::ui {

// The main window's widgets, named after the controls of its model and kept in step with it.
class FrmTerminalWindow : public QMainWindow {
    Q_OBJECT
public:
    FrmTerminalWindow(monitor::FrmTerminalModel& model, monitor::PortController& ports,
                      QWidget* parent = nullptr);

    // Copies the model into the widgets.
    void refresh();

private:
    monitor::FrmTerminalModel& model_;
    monitor::PortController& ports_;
    QLabel* lblTr_ = nullptr;
    QLabel* lblRs_ = nullptr;
    QToolButton* imgConnected_ = nullptr;
    QToolButton* imgNotConnected_ = nullptr;
    QAction* mnuOpen_ = nullptr;
    std::map<std::string, QLabel*> panels_;
};

} // namespace kvt::ui
