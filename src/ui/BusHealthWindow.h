#pragma once

#include "link/BusHealthModel.h"

#include <QWidget>

#include <cstdint>

class QTableWidget;

namespace kvt::ui {

// The Bus Health window: what every address on the line did, updated live.
class BusHealthWindow : public QWidget {
    Q_OBJECT
public:
    explicit BusHealthWindow(link::BusStatistics& stats, QWidget* parent = nullptr);
    void redraw();

private:
    link::BusHealthModel model_;
    QTableWidget* table_ = nullptr;
    std::uint64_t drawn_ = ~std::uint64_t{0};
};

} // namespace kvt::ui
