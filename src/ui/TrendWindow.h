#pragma once

#include "monitor/TrendModel.h"
#include "platform/Operator.h"

#include <QWidget>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QChart;
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
    static constexpr int kColumns = 1000; // the most a line shows: about a column per pixel

private:
    struct Lines {
        std::vector<QLineSeries*> flow; // one per unbroken run; [0] carries the legend entry
        std::vector<QLineSeries*> setPoint;
    };
    QLineSeries* series(Lines& lines, bool setPoint, std::size_t index, std::size_t device);
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
    std::uint64_t drawn_ = ~std::uint64_t{0};
    double offsetMs_ = 0.0; // local seconds -> the axis' milliseconds since the epoch
    bool drawing_ = false;
};

} // namespace kvt::ui
