#include "ui/BusHealthWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kvt::ui {

BusHealthWindow::BusHealthWindow(link::BusStatistics& stats, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(stats) {
    setObjectName("frmBusHealth");
    setWindowTitle("Bus Health");
    const auto& headers = link::BusHealthModel::headers();
    table_ = new QTableWidget(0, static_cast<int>(headers.size()), this);
    table_->setObjectName("grdBus");
    QStringList titles;
    for (const char* h : headers)
        titles << h;
    table_->setHorizontalHeaderLabels(titles);
    table_->verticalHeader()->setVisible(false);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* reset = new QPushButton("Reset", this);
    reset->setObjectName("cmdReset");
    auto* note = new QLabel("Latency: command written to line feed. Garbled: wrong address, "
                            "no line feed in time, or bytes no reply holds.",
                            this);
    note->setWordWrap(true);
    auto* bar = new QHBoxLayout;
    bar->addWidget(note, 1);
    bar->addWidget(reset);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addLayout(bar);
    connect(reset, &QPushButton::clicked, this, [this] {
        model_.reset();
        redraw();
    });
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        if (isVisible() && model_.revision() != drawn_)
            redraw();
    });
    timer->start(500);
    resize(760, 260);
    redraw();
}

void BusHealthWindow::redraw() {
    const auto rows = model_.table();
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        for (int c = 0; c < static_cast<int>(link::BusHealthModel::kColumns); ++c) {
            const QString text = QString::fromStdString(rows[r][c]);
            auto* item = table_->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                              : Qt::AlignRight | Qt::AlignVCenter);
                table_->setItem(r, c, item);
            }
            if (item->text() != text)
                item->setText(text);
        }
    }
    drawn_ = model_.revision();
}

} // namespace kvt::ui
