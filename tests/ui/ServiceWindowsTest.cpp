#include "support/ServiceWorld.h"
#include "ui/FrmCancelSendWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
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

// The window as it is drawn, saved beside the test's build folder for a look.
void saveShot(QWidget& window, const char* file) {
    QDir().mkpath("screenshots");
    QPixmap shot = window.grab();
    EXPECT_FALSE(shot.isNull());
    shot.save(QString("screenshots/") + file);
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
