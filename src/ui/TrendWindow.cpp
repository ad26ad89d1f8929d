#include "ui/TrendWindow.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <limits>

namespace kvt::ui {

namespace {
const QColor kColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                           QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                           QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                           QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};

// Milliseconds the axis shows for local seconds: the host's offset now (a clock change inside
// the view shifts the older part by it, nothing worse).
double epochOffsetMs(double localNow) {
    const auto days = static_cast<qint64>(std::floor(localNow / 86400.0));
    const auto msOfDay =
        static_cast<int>((localNow - static_cast<double>(days) * 86400.0) * 1000.0);
    QDateTime local(QDate(1970, 1, 1).addDays(days), QTime(0, 0).addMSecs(msOfDay));
    return static_cast<double>(local.toMSecsSinceEpoch()) - localNow * 1000.0;
}
} // namespace

TrendWindow::TrendWindow(monitor::TrendModel& model, platform::Operator& op, std::string folder,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model), op_(op), folder_(std::move(folder)) {
    setObjectName("frmTrend");
    setWindowTitle("Trend");

    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setTitleText("Time");
    timeAxis_->setFormat("HH:mm:ss");
    timeAxis_->setTickCount(7);
    flowAxis_ = new QValueAxis;
    flowAxis_->setTitleText("Flow");
    flowAxis_->setLabelFormat("%.4g");
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(flowAxis_, Qt::AlignLeft);

    view_ = new QChartView(chart_, this);
    view_->setObjectName("chtTrend");
    view_->setRenderHint(QPainter::Antialiasing, false);
    view_->setRubberBand(QChartView::HorizontalRubberBand);

    window_ = new QComboBox(this);
    window_->setObjectName("cboWindow");
    for (int seconds : monitor::TrendModel::kWindows)
        window_->addItem(monitor::TrendModel::windowCaption(seconds), seconds);
    follow_ = new QPushButton("Follow", this);
    follow_->setObjectName("cmdFollow");
    follow_->setCheckable(true);
    follow_->setToolTip("Scroll with new readings; zooming pauses it");
    auto* reset = new QPushButton("Reset", this);
    reset->setObjectName("cmdReset");
    auto* exportCsv = new QPushButton("Export CSV...", this);
    exportCsv->setObjectName("cmdExportCsv");

    auto* bar = new QHBoxLayout;
    bar->addWidget(window_);
    bar->addWidget(follow_);
    bar->addWidget(reset);
    bar->addStretch(1);
    bar->addWidget(exportCsv);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(view_, 1);

    connect(window_, &QComboBox::activated, this, [this](int index) {
        model_.chooseWindow(window_->itemData(index).toInt());
        redraw();
    });
    connect(follow_, &QPushButton::clicked, this, [this] {
        model_.resumeFollow();
        redraw();
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        model_.reset();
        redraw();
    });
    connect(exportCsv, &QPushButton::clicked, this, [this] { model_.exportAsked(op_, folder_); });
    connect(timeAxis_, &QDateTimeAxis::rangeChanged, this, [this] { axisMoved(); });

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (isVisible() && (model_.following() || model_.revision() != drawn_))
            redraw();
    });
    timer_->start(500);
    resize(900, 520);
    redraw();
}

void TrendWindow::axisMoved() {
    // The rubber band or a scroll moved the axis: that range is the operator's now.
    if (drawing_)
        return;
    const double from =
        (static_cast<double>(timeAxis_->min().toMSecsSinceEpoch()) - offsetMs_) / 1000.0;
    const double to =
        (static_cast<double>(timeAxis_->max().toMSecsSinceEpoch()) - offsetMs_) / 1000.0;
    model_.viewRange(from, to);
    QTimer::singleShot(0, this, [this] { redraw(); });
}

QLineSeries* TrendWindow::series(Lines& lines, bool setPoint, std::size_t index,
                                 std::size_t device) {
    auto& pool = setPoint ? lines.setPoint : lines.flow;
    while (pool.size() <= index) {
        auto* s = new QLineSeries;
        QPen pen(kColours[device % std::size(kColours)]);
        pen.setWidthF(setPoint ? 1.0 : 1.5);
        if (setPoint)
            pen.setStyle(Qt::DashLine);
        s->setPen(pen);
        chart_->addSeries(s);
        s->attachAxis(timeAxis_);
        s->attachAxis(flowAxis_);
        const bool legend = pool.empty();
        pool.push_back(s);
        for (QLegendMarker* marker : chart_->legend()->markers(s)) {
            marker->setVisible(legend);
            if (legend)
                connect(marker, &QLegendMarker::clicked, this, [this, device, setPoint] {
                    (void)setPoint;
                    model_.setShown(device, !model_.shown(device));
                    redraw();
                });
        }
    }
    return pool[index];
}

void TrendWindow::redraw() {
    drawing_ = true;
    auto [from, to] = model_.range();
    offsetMs_ = epochOffsetMs(model_.now());
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    const auto& h = model_.history;
    for (std::size_t d = 0; d < h.deviceCount(); ++d) {
        Lines& lines = lines_[d];
        const bool shown = model_.shown(d);
        std::size_t runIndex = 0;
        if (shown) {
            for (const auto& run : h.plot(d, from, to, kColumns)) {
                QList<QPointF> flow, setPoint;
                flow.reserve(static_cast<qsizetype>(run.points.size() * 2));
                setPoint.reserve(static_cast<qsizetype>(run.points.size()));
                for (const auto& p : run.points) {
                    const double x = p.time * 1000.0 + offsetMs_;
                    flow.append({x, p.low});
                    if (p.high != p.low)
                        flow.append({x, p.high});
                    setPoint.append({x, p.setPoint});
                    low = std::min({low, p.low, p.setPoint});
                    high = std::max({high, p.high, p.setPoint});
                }
                series(lines, false, runIndex, d)->replace(flow);
                series(lines, true, runIndex, d)->replace(setPoint);
                ++runIndex;
            }
        }
        // The legend entry stays, so a hidden device can be switched back on.
        QLineSeries* first = series(lines, false, 0, d);
        first->setName(QString::fromStdString(model_.legendName(d)) + (shown ? "" : " (off)"));
        series(lines, true, 0, d)
            ->setName(QString::fromStdString(model_.legendName(d)) + " set point");
        for (QLegendMarker* m : chart_->legend()->markers(lines.setPoint[0]))
            m->setVisible(false);
        for (std::size_t i = runIndex; i < lines.flow.size(); ++i)
            lines.flow[i]->clear();
        for (std::size_t i = runIndex; i < lines.setPoint.size(); ++i)
            lines.setPoint[i]->clear();
    }
    if (!(high >= low)) {
        low = 0.0;
        high = 1.0;
    }
    const double margin = std::max(1e-6, (high - low) * 0.05);
    flowAxis_->setRange(low - margin, high + margin);
    flowAxis_->setTitleText(QString::fromStdString(model_.axisTitle()));
    timeAxis_->setFormat(to - from > 86400.0 / 2 ? "dd.MM HH:mm" : "HH:mm:ss");
    timeAxis_->setRange(
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(from * 1000.0 + offsetMs_)),
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(to * 1000.0 + offsetMs_)));
    follow_->setChecked(model_.following());
    for (int i = 0; i < window_->count(); ++i)
        if (window_->itemData(i).toInt() == model_.windowSeconds())
            window_->setCurrentIndex(i);
    drawn_ = model_.revision();
    drawing_ = false;
}

} // namespace kvt::ui
