#include "support/ServiceWorld.h"
#include "ui/FrmAutoZeroIPWindow.h"
#include "ui/FrmCalibrateADDialog.h"
#include "ui/FrmCancelSendWindow.h"
#include "ui/FrmSetSpanWindow.h"
#include "ui/FrmValveDialog.h"
#include "ui/FrmZeroManDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <gtest/gtest.h>

using namespace kvt;
using kvt::testing::kRs232;
using kvt::testing::ServiceWorld;

namespace {

// Every named control of a model has a widget of that name in the window.
template <typename Model> void expectEveryControl(Model& model, QWidget& window) {
    model.forEachControl([&](const std::string& name, monitor::Control&) {
        QString n = QString::fromStdString(name);
        EXPECT_TRUE(window.objectName() == n || window.findChild<QWidget*>(n) != nullptr) << name;
    });
}

// The window as it is drawn, saved for a look (KVT_SCREENSHOTS, or a folder in /tmp).
void saveShot(QWidget& window, const char* file) {
    QString folder = qEnvironmentVariable("KVT_SCREENSHOTS", QDir::tempPath() + "/kvt-screenshots");
    QDir().mkpath(folder);
    QPixmap shot = window.grab();
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(folder + "/" + file));
}

} // namespace

TEST(ServiceWindows, CancelSendFollowsItsModelAndEveryCloseIsCancel) {
    service::FrmCancelSend model;
    int cancels = 0;
    model.onCancel = [&] { ++cancels; };
    ui::FrmCancelSendWindow window(model);
    expectEveryControl(model, window);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);

    model.Label1.caption = "Sensor Compensated - SensorComp: 2987";
    model.frmCancelSend.visible = true;
    model.changed();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.findChild<QLabel*>("Label1")->text(), "Sensor Compensated - SensorComp: 2987");
    EXPECT_EQ(window.windowTitle(), "System Monitor");
    saveShot(window, "frmCancelSend.png");

    window.findChild<QPushButton*>("cmdCancel")->click();
    EXPECT_EQ(cancels, 1);
    window.close(); // title bar and Alt+F4
    EXPECT_EQ(cancels, 2);
    EXPECT_TRUE(window.isVisible()); // the loop hides it once its wait has returned
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &esc);
    EXPECT_EQ(cancels, 3);

    model.frmCancelSend.visible = false;
    model.changed();
    EXPECT_FALSE(window.isVisible());
}

TEST(ServiceWindows, AutoZeroWindowRunsAgainstTheSimulatedDevice) {
    ServiceWorld x(kRs232);
    auto& model = x.service->autoZeroWindow;
    ui::FrmAutoZeroIPWindow window(model, x.service->autoZero);
    expectEveryControl(model, window);

    bool cancelVisible = false;
    x.at(3.0, [&] {
        cancelVisible = window.findChild<QPushButton*>("cmdCancel")->isVisibleTo(&window);
        saveShot(window, "frmAutoZeroIP-running.png");
    });
    x.w.op.answer(platform::Answer::Yes);
    x.click("mnuDeviceAutoZeroDoNow");
    EXPECT_TRUE(cancelVisible);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.findChild<QLabel*>("Label1")->text(), service::kAutoZeroDone);
    auto* ok = window.findChild<QPushButton*>("CmdOK");
    EXPECT_TRUE(ok->isVisibleTo(&window));
    saveShot(window, "frmAutoZeroIP-done.png");
    ok->click();
    EXPECT_FALSE(window.isVisible());
}

TEST(ServiceWindows, CloseDuringTheZeroPollIsCancel) {
    ServiceWorld x(kRs232);
    ui::FrmAutoZeroIPWindow window(x.service->autoZeroWindow, x.service->autoZero);
    x.at(2.001, [&] { window.close(); });
    x.w.op.answer(platform::Answer::Yes);
    x.click("mnuDeviceAutoZeroDoNow");
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(x.w.takeWritten(), (std::vector<std::string>{"z,n", "z,s"}));
}

TEST(ServiceWindows, SetSpanSavesOnlyAfterAReadingAndCloseIsCancel) {
    ServiceWorld x(kRs232);
    ui::FrmSetSpanWindow window(x.service->spanWindow, x.service->span);
    expectEveryControl(x.service->spanWindow, window);
    x.dev().scriptFault("Read,7", sim::Fault::wrong("SensorComp: 3000"));

    bool saveEnabledAtStart = true;
    x.at(0.001, [&] {
        saveEnabledAtStart = window.findChild<QPushButton*>("cmdSave")->isEnabled();
        window.findChild<QPushButton*>("cmdSave")->click(); // refused: no reading yet
    });
    x.at(1.5, [&] {
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(window.findChild<QLabel*>("Label1")->text().endsWith("SensorComp: 3000"));
        saveShot(window, "frmSetSpan.png");
        window.close();
    });
    x.w.op.answer(platform::Answer::Yes);
    x.w.op.answer(platform::Answer::Yes);
    x.click("mnuToolsSetSpan");
    EXPECT_FALSE(saveEnabledAtStart);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(x.service->span.spanSaved());
    EXPECT_EQ(x.w.takeWritten(),
              (std::vector<std::string>{"mw,1000,1", "v,o", "Read,7", "Read,7", "v,c"}));
}

TEST(ServiceWindows, ZeroManForwardsOnlyOperatorMovesAndClosesThroughItsLogic) {
    ServiceWorld x(kRs232);
    bool checked = false;
    x.dialogs.zeroMan = [&](service::ZeroAdjust& z) {
        ui::FrmZeroManDialog dlg(z);
        expectEveryControl(z.model, dlg);
        dlg.show();
        auto* bar = dlg.findChild<QScrollBar*>("VScroll1");
        EXPECT_EQ(bar->value(), x.dev().dac(0)); // the loaded zero, shown without a write
        EXPECT_TRUE(x.w.takeWritten().size() == 3u);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd); // the operator moves it
        EXPECT_EQ(z.model.VScroll1.value, bar->value());
        auto sent = x.w.takeWritten();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], "WRITE,0," + std::to_string(bar->value()));
        // Escape is Exit: the dialog goes only once its logic has finished.
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        z.model.Label1.caption = "2731";
        z.model.changed();
        saveShot(dlg, "frmZeroMan.png");
        QApplication::sendEvent(&dlg, &esc);
        EXPECT_TRUE(z.closed());
        EXPECT_EQ(x.w.takeWritten(), std::vector<std::string>{"V,C"});
        checked = true;
    };
    x.w.op.answer(platform::Answer::Yes);
    x.click("mnuToolsZeroAdj");
    EXPECT_TRUE(checked);
}

TEST(ServiceWindows, CalibrateADPagesOptionsAndLocking) {
    ServiceWorld x(kRs232);
    bool checked = false;
    x.dialogs.calibrateAD = [&](service::CalibrateAD& c) {
        ui::FrmCalibrateADDialog dlg(c);
        expectEveryControl(c.model, dlg);
        dlg.show();
        auto* page0 = dlg.findChild<QWidget*>("fraInterf_0");
        auto* page1 = dlg.findChild<QWidget*>("fraInterf_1");
        EXPECT_TRUE(page0->isVisible());
        EXPECT_FALSE(page1->isVisible());
        dlg.findChild<QRadioButton*>("OptIntrf_1")->click();
        EXPECT_EQ(c.interfaceMode(), 1);
        auto* tabs = dlg.findChild<QTabBar*>("TabStripADC");
        emit tabs->tabBarClicked(1);
        EXPECT_FALSE(page0->isVisible());
        EXPECT_TRUE(page1->isVisible());
        emit tabs->tabBarClicked(0);
        // While a reading runs the interface and the tabs are locked.
        x.dev().scriptFault("read,1", sim::Fault::wrong("ADCinp:3000"));
        x.w.op.answer(platform::Answer::Ok);
        x.w.op.answer(platform::Answer::Ok);
        x.at(2.5, [&] {
            EXPECT_FALSE(dlg.findChild<QRadioButton*>("OptIntrf_0")->isEnabled());
            EXPECT_FALSE(tabs->isEnabled());
            EXPECT_TRUE(dlg.findChild<QWidget*>("FraProgBar")->isVisible());
            saveShot(dlg, "frmCalibrateAD.png");
            dlg.close(); // a cancel request: the dialog goes once the reading has stopped
            EXPECT_FALSE(c.closed());
        });
        dlg.findChild<QPushButton*>("cmdAdcStart")->click();
        EXPECT_TRUE(c.closed());
        checked = true;
    };
    x.w.op.answer(platform::Answer::Yes);
    x.click("mnuToolsCalibrateAdcDac");
    EXPECT_TRUE(checked);
}

TEST(ServiceWindows, ValveTableModesAndOperatorMoves) {
    ServiceWorld x(kRs232);
    bool checked = false;
    x.dialogs.valve = [&](service::ValveTable& v) {
        ui::FrmValveDialog dlg(v);
        expectEveryControl(v.model, dlg);
        dlg.show();
        auto* list = dlg.findChild<QListWidget*>("List1");
        EXPECT_EQ(list->count(), 10);
        list->setCurrentRow(2);
        EXPECT_EQ(dlg.findChild<QLineEdit*>("Text1")->text(), list->item(2)->text());
        saveShot(dlg, "frmValve-table.png");
        x.w.takeWritten();
        dlg.findChild<QPushButton*>("cmdStart")->click();
        EXPECT_TRUE(dlg.findChild<QWidget*>("Frame2")->isVisible());
        EXPECT_FALSE(dlg.findChild<QWidget*>("Frame1")->isVisible());
        auto* bar = dlg.findChild<QScrollBar*>("VScroll1");
        EXPECT_EQ(bar->value(), 2000);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        saveShot(dlg, "frmValve-adjust.png");
        dlg.findChild<QPushButton*>("cmdCancel")->click();
        EXPECT_EQ(x.w.takeWritten(), (std::vector<std::string>{
                                         "v,a", "WRITE,4,D", "WRITE,2,2000",
                                         "WRITE,2," + std::to_string(bar->value()), "WRITE,4,N"}));
        dlg.close();
        EXPECT_TRUE(v.closed());
        checked = true;
    };
    x.w.op.answer(platform::Answer::Yes);
    x.click("mnuToolsValveTable");
    EXPECT_TRUE(checked);
}
