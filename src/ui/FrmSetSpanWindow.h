#pragma once

#include "service/SpanSetting.h"
#include "ui/DialogParts.h"

class QLabel;
class QPushButton;

namespace kvt::ui {

// The small window that shows the live compensated reading while the span is set. It stays above
// the main window by its window flag alone; closing it is Cancel.
class FrmSetSpanWindow : public LogicToolWindow {
    Q_OBJECT
public:
    FrmSetSpanWindow(service::FrmSetSpan& model, service::SpanSetting& logic,
                     QWidget* parent = nullptr);

    void refresh();

private:
    service::FrmSetSpan& model_;
    service::SpanSetting& logic_;
    QLabel* label_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kvt::ui
