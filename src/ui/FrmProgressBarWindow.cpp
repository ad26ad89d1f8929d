#include "ui/FrmProgressBarWindow.h"
#include "ui/SteadyWidgets.h"

#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

namespace kvt::ui {

FrmProgressBarWindow::FrmProgressBarWindow(const monitor::FrmTerminalModel& model, QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      model_(model) {
    setObjectName("frmProgressBar");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowModality(Qt::NonModal);
    auto* layout = new QVBoxLayout(this);
    bar_ = blockProgressBar(this);
    bar_->setObjectName("ProgressBar1");
    bar_->setRange(1, monitor::FrmTerminalModel::kProgressMax);
    bar_->setTextVisible(false);
    bar_->setMinimumWidth(320);
    layout->addWidget(bar_);
    refresh();
}

void FrmProgressBarWindow::refresh() {
    const auto& c = model_.frmProgressBar.caption;
    setWindowTitle(QString::fromLatin1(c.data(), static_cast<qsizetype>(c.size())));
    // A value outside the range would leave the bar where it was.
    setProgressValue(bar_, std::clamp(model_.progressValue, bar_->minimum(), bar_->maximum()));
    if (model_.frmProgressBar.visible == isVisible())
        return;
    if (model_.frmProgressBar.visible) {
        adjustSize();
        if (auto* owner = parentWidget(); owner && owner->isVisible())
            move(owner->geometry().center() - rect().center());
        show();
        raise();
    } else {
        hide();
    }
}

} // namespace kvt::ui
