#pragma once

#include "monitor/FrmTerminalModel.h"

#include <QWidget>

class QProgressBar;

namespace kvt::ui {

// The small window that shows the loader's progress. It never takes the focus or blocks the main
// window, and stays above it while shown.
class FrmProgressBarWindow : public QWidget {
    Q_OBJECT
public:
    explicit FrmProgressBarWindow(const monitor::FrmTerminalModel& model,
                                  QWidget* parent = nullptr);

    // Copies caption, visibility and position from the model.
    void refresh();

private:
    const monitor::FrmTerminalModel& model_;
    QProgressBar* bar_ = nullptr;
};

} // namespace kvt::ui
