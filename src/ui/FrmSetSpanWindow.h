#pragma once

#include "service/SpanSetting.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

namespace kvt::ui {

// The small window that shows the live compensated reading while the span is set. It stays above
// the main window by its window flag alone; closing it is Cancel.
class FrmSetSpanWindow : public QWidget {
    Q_OBJECT
public:
    FrmSetSpanWindow(service::FrmSetSpan& model, service::SpanSetting& logic,
                     QWidget* parent = nullptr);
    ~FrmSetSpanWindow() override;

    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    service::FrmSetSpan& model_;
    service::SpanSetting& logic_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    QLabel* label_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kvt::ui
