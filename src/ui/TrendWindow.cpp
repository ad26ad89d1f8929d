#include "ui/TrendWindow.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
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

// Draws every device's lines over the plot area straight from their points. A line series would
// lay out and stroke its whole path again on every change, which costs far more than drawing it.
class TrendWindow::PlotItem : public QGraphicsItem {
public:
    explicit PlotItem(TrendWindow& window) : window_(window) {
        setZValue(10);
        setAcceptedMouseButtons(Qt::NoButton);
    }
    QRectF boundingRect() const override { return window_.chart_->plotArea(); }
    void areaChanged() {
        prepareGeometryChange();
        update();
    }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QRectF area = window_.chart_->plotArea();
        const double x0 = static_cast<double>(window_.timeAxis_->min().toMSecsSinceEpoch());
        const double x1 = static_cast<double>(window_.timeAxis_->max().toMSecsSinceEpoch());
        const double y0 = window_.flowAxis_->min();
        const double y1 = window_.flowAxis_->max();
        if (!(x1 > x0) || !(y1 > y0) || area.isEmpty())
            return;
        const double sx = area.width() / (x1 - x0);
        const double sy = area.height() / (y1 - y0);
        painter->save();
        painter->setClipRect(area);
        painter->setRenderHint(QPainter::Antialiasing, false);
        QPolygonF polyline;
        // One-pixel cosmetic pens take the rasteriser's fast path; a wider pen is stroked into
        // polygons first, which costs several times as much.
        auto draw = [&](const std::vector<monitor::TrendXY>& points, QPen pen) {
            pen.setWidth(1);
            pen.setCosmetic(true);
            painter->setPen(pen);
            polyline.clear();
            auto flush = [&] {
                if (polyline.size() > 1)
                    painter->drawPolyline(polyline);
                polyline.clear();
            };
            for (const auto& p : points) {
                if (std::isnan(p.y)) {
                    flush();
                    continue;
                }
                polyline.append({area.left() + (p.x - x0) * sx, area.bottom() - (p.y - y0) * sy});
            }
            flush();
        };
        for (const auto& [device, lines] : window_.lines_) {
            if (!lines.shown)
                continue;
            draw(lines.setPointPoints, lines.setPoint->pen());
            draw(lines.flowPoints, lines.flow->pen());
        }
        painter->restore();
    }

private:
    TrendWindow& window_;
};

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
    plot_ = new PlotItem(*this);
    view_->scene()->addItem(plot_);
    connect(chart_, &QChart::plotAreaChanged, this, [this] { plot_->areaChanged(); });
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

QLineSeries* TrendWindow::addSeries(std::size_t device, bool setPoint) {
    auto* s = new QLineSeries;
    QPen pen(kColours[device % std::size(kColours)]);
    pen.setWidthF(setPoint ? 1.0 : 1.5);
    if (setPoint)
        pen.setStyle(Qt::DashLine);
    s->setPen(pen);
    chart_->addSeries(s);
    s->attachAxis(timeAxis_);
    s->attachAxis(flowAxis_);
    for (QLegendMarker* marker : chart_->legend()->markers(s)) {
        marker->setVisible(!setPoint);
        if (!setPoint)
            connect(marker, &QLegendMarker::clicked, this, [this, device] {
                model_.setShown(device, !model_.shown(device));
                redraw();
            });
    }
    return s;
}

TrendWindow::Lines& TrendWindow::lines(std::size_t device) {
    Lines& l = lines_[device];
    if (!l.flow) {
        l.flow = addSeries(device, false);
        l.setPoint = addSeries(device, true);
    }
    return l;
}

void TrendWindow::redraw() {
    drawing_ = true;
    auto [from, to] = model_.range();
    offsetMs_ = epochOffsetMs(model_.now());
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    const auto& h = model_.history;
    // A column a pixel: more points than that cannot show, and each costs drawing time.
    const int width = static_cast<int>(chart_->plotArea().width());
    const int columns = width > 0 ? width : kColumns;
    std::vector<int> units;
    for (std::size_t d = 0; d < h.deviceCount(); ++d) {
        Lines& l = lines(d);
        const bool shown = model_.shown(d);
        if (shown) {
            const auto runs = h.plot(d, from, to, columns);
            for (const auto& run : runs)
                if (std::find(units.begin(), units.end(), run.unit) == units.end())
                    units.push_back(run.unit);
            auto drawn = monitor::trendPolylines(runs, 1000.0, offsetMs_);
            l.flowPoints = std::move(drawn.flow);
            l.setPointPoints = std::move(drawn.setPoint);
            low = std::min(low, drawn.low);
            high = std::max(high, drawn.high);
        } else {
            l.flowPoints.clear();
            l.setPointPoints.clear();
        }
        l.shown = shown;
        // The legend entry stays, so a hidden device can be switched back on.
        const QString name = QString::fromStdString(model_.legendName(d));
        if (l.flow->name() != name + (shown ? "" : " (off)")) {
            l.flow->setName(name + (shown ? "" : " (off)"));
            l.setPoint->setName(name + " set point");
            for (QLegendMarker* m : chart_->legend()->markers(l.setPoint))
                m->setVisible(false);
        }
    }
    if (!(high >= low)) {
        low = 0.0;
        high = 1.0;
    }
    const double margin = std::max(1e-6, (high - low) * 0.05);
    flowAxis_->setRange(low - margin, high + margin);
    flowAxis_->setTitleText(QString::fromStdString(monitor::TrendModel::axisTitle(units)));
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
    plot_->update();
}

std::size_t TrendWindow::flowPoints(std::size_t device) const {
    auto it = lines_.find(device);
    if (it == lines_.end())
        return 0;
    return static_cast<std::size_t>(
        std::count_if(it->second.flowPoints.begin(), it->second.flowPoints.end(),
                      [](const monitor::TrendXY& p) { return !std::isnan(p.y); }));
}

} // namespace kvt::ui
