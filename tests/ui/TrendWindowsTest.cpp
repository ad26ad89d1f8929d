#include "monitor/TrendModel.h"
#include "ui/BusHealthWindow.h"
#include "ui/TrendWindow.h"
#include "ui/WidgetKit.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QTableWidget>

using namespace kvt;

namespace {

// The main window on two simulated RS-485 devices, multi-unit monitoring at 100 ms for 3 s.
struct TrendWindows : ::testing::Test {
    kvt::testing::MainWindow x{2, false, {{"Time_ss", "0"}, {"Time_ms", "100"}}};
    void SetUp() override {
        x.w.start();
        x.t.menuClick("mnuAutoM");
        x.w.rt.runFor(3.0);
    }
};

TEST_F(TrendWindows, TrendShowsEveryDeviceAndClosingLosesNothing) {
    x.t.menuClick("mnuTrend");
    ui::TrendWindow* trend = x.window.trendWindow();
    ASSERT_TRUE(trend->isVisible());
    trend->redraw();
    EXPECT_GT(trend->flowPoints(0), 5u);
    EXPECT_EQ(trend->chartView()->chart()->axes(Qt::Vertical).at(0)->titleText(), "Flow [SLPM]");

    trend->close();
    x.w.rt.runFor(1.0);
    x.t.toolbarClick("Trend");
    EXPECT_EQ(x.window.trendWindow(), trend);
    EXPECT_TRUE(trend->isVisible());
    EXPECT_GT(x.t.trend().history.fine(0).size(), 10U);
}

TEST_F(TrendWindows, LegendSwitchesADeviceOffAndZoomPausesFollowUntilTheButton) {
    ui::TrendWindow* trend = x.window.trendWindow();
    trend->show();
    trend->redraw();
    auto& model = x.t.trend();
    // One entry a device: its set point and its further runs stay out of the legend.
    QList<QLegendMarker*> shown;
    for (QLegendMarker* m : trend->chartView()->chart()->legend()->markers())
        if (m->isVisible())
            shown << m;
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0]->label(), "1 (01) KVT");
    EXPECT_EQ(shown[1]->label(), "2 (02) KVT");
    emit shown[0]->clicked();
    EXPECT_FALSE(model.shown(0));
    EXPECT_EQ(trend->flowPoints(0), 0u);
    EXPECT_GT(trend->flowPoints(1), 0u);

    auto* axis =
        static_cast<QDateTimeAxis*>(trend->chartView()->chart()->axes(Qt::Horizontal).at(0));
    const QDateTime end = axis->max();
    axis->setRange(end.addSecs(-2), end.addSecs(-1)); // what the rubber band does
    EXPECT_FALSE(model.following());
    EXPECT_NEAR(model.range().second - model.range().first, 1.0, 1e-3);
    auto* follow = kvt::testing::child(*trend, "cmdFollow");
    QTest::mouseClick(follow, Qt::LeftButton);
    EXPECT_TRUE(model.following());
    EXPECT_TRUE(follow->isChecked());
}

TEST_F(TrendWindows, BusHealthListsAddressesAndResets) {
    x.t.menuClick("mnuBusHealth");
    ui::BusHealthWindow* bus = x.window.busHealthWindow();
    ASSERT_TRUE(bus->isVisible());
    bus->redraw();
    auto* table = kvt::testing::child<QTableWidget>(*bus, "grdBus");
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 0)->text(), "01");
    EXPECT_GT(table->item(0, 1)->text().toInt(), 5);
    QTest::mouseClick(bus->findChild<QPushButton*>("cmdReset"), Qt::LeftButton);
    EXPECT_EQ(table->rowCount(), 0);
}

} // namespace
