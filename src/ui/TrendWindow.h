#pragma once

#include "monitor/TrendModel.h"
#include "platform/Operator.h"

#include <QWidget>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QChart;
class QGraphicsItem;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

namespace kvt::ui {

// The Trend window: flow and set point of every monitored device against time. It only shows
// the model; closing it hides it and the history goes on.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    TrendWindow(monitor::TrendModel& model, platform::Operator& op, std::string folder,
                QWidget* parent = nullptr);

    // Redraws from the model now (the window also does so on its own twice a second).
    void redraw();
    QChartView* chartView() const { return view_; }
    // Points of the device's flow line as last drawn (breaks not counted).
    std::size_t flowPoints(std::size_t device) const;
    // Columns a line is decimated to when the plot's width is not known yet; otherwise one a
    // pixel of the plot's width.
    static constexpr int kColumns = 1000;

private:
    // A device's lines: empty series that give the legend entry (the flow line's) and the pens,
    // and the points the plot item draws with them; gaps and unit changes are NaN breaks.
    struct Lines {
        QLineSeries* flow = nullptr;
        QLineSeries* setPoint = nullptr;
        std::vector<monitor::TrendXY> flowPoints;
        std::vector<monitor::TrendXY> setPointPoints;
        bool shown = true;
    };
    class PlotItem;
    friend class PlotItem;
    Lines& lines(std::size_t device);
    QLineSeries* addSeries(std::size_t device, bool setPoint);
    void axisMoved();

    monitor::TrendModel& model_;
    platform::Operator& op_;
    std::string folder_;
    QChartView* view_ = nullptr;
    QChart* chart_ = nullptr;
    QDateTimeAxis* timeAxis_ = nullptr;
    QValueAxis* flowAxis_ = nullptr;
    QComboBox* window_ = nullptr;
    QPushButton* follow_ = nullptr;
    QTimer* timer_ = nullptr;
    std::map<std::size_t, Lines> lines_;
    PlotItem* plot_ = nullptr;
    std::uint64_t drawn_ = ~std::uint64_t{0};
    double offsetMs_ = 0.0; // local seconds -> the axis' milliseconds since the epoch
    bool drawing_ = false;
};

} // namespace kvt::ui
