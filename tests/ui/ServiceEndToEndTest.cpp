// Every service procedure once, the normal path, with the real Qt port, runtime and windows
// (offscreen) against kvt-devsim on a pseudo-terminal at 9600 baud. The operator's boxes are
// scripted; the service windows are driven through their widgets.

#include "monitor/FrmTerminal.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "service/ServiceMenus.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "support/ScriptedOperator.h"
#include "support/TempFolder.h"
#include "support/TerminalWorld.h"
#include "ui/FrmAutoZeroIPWindow.h"
#include "ui/FrmCancelSendWindow.h"
#include "ui/FrmSetSpanWindow.h"
#include "ui/QtServiceDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

using namespace kvt;
using kvt::platform::Answer;

namespace {

// Commands as the simulator logged them ("<< " lines).
std::vector<std::string> received(const std::string& log) {
    std::vector<std::string> out;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("<< ", 0) == 0)
            out.push_back(line.substr(3));
    return out;
}

// Calls `action` with the top-level widget named `name` once it is shown (polled every 50 ms).
void whenShown(const QString& name, std::function<void(QWidget*)> action) {
    auto* poll = new QTimer;
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, [poll, name, action] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == name && w->isVisible()) {
                poll->stop();
                poll->deleteLater();
                action(w);
                return;
            }
        }
    });
    poll->start();
}

void click(QWidget* window, const char* button) {
    auto* b = window->findChild<QPushButton*>(button);
    ASSERT_NE(b, nullptr) << button;
    b->click();
}

// The terminal's logic and the service procedures on the real host, one RS-232 device.
struct Bench {
    Bench()
        : sim(KVT_DEVSIM_PATH, {"--baud", "9600", "--verbose"}, folder.file("devsim.log")),
          port(prefs) {
        prefs.save(link::kApplication, "Ports", "Com1", sim.path());
        prefs.save(link::kApplication, "Properties", "Interface", "True");
        kvt::testing::TerminalWorld::writeSetupTo(folder.file("setup.dat"),
                                                  {kvt::testing::deviceRecord("1", "01")});
        t = std::make_unique<monitor::FrmTerminal>(
            monitor::FrmTerminal::Services{port, rt, op, prefs, dialogs, folder.file("setup.dat")});
        service = std::make_unique<service::ServiceMenus>(*t, serviceDialogs);
        cancelWindow = std::make_unique<ui::FrmCancelSendWindow>(service->cancelWindow);
        autoZeroWindow =
            std::make_unique<ui::FrmAutoZeroIPWindow>(service->autoZeroWindow, service->autoZero);
        spanWindow = std::make_unique<ui::FrmSetSpanWindow>(service->spanWindow, service->span);
        t->Form_Load();
        rt.pump().waitUntil([&] { return !t->loaderActive(); });
        logStart = received(test::readFile(folder.file("devsim.log"))).size();
    }
    ~Bench() { rt.pump().shutdown(); }

    // Commands the device received since start-up.
    std::vector<std::string> sent() {
        auto all = received(test::readFile(folder.file("devsim.log")));
        return {all.begin() + static_cast<long>(std::min(logStart, all.size())), all.end()};
    }
    void wait(int ms) {
        bool done = false;
        QTimer::singleShot(ms, [&] { done = true; });
        rt.pump().waitUntil([&] { return done; });
    }

    test::TempFolder folder;
    kvt::testing::DevSimProcess sim;
    kvt::testing::MemoryPreferences prefs;
    platform::qt::QtSerialPort port;
    platform::qt::QtRuntime rt;
    kvt::testing::ScriptedOperator op;
    kvt::testing::ScriptedDialogs dialogs;
    ui::QtServiceDialogs serviceDialogs;
    std::unique_ptr<monitor::FrmTerminal> t;
    std::unique_ptr<service::ServiceMenus> service;
    std::unique_ptr<ui::FrmCancelSendWindow> cancelWindow;
    std::unique_ptr<ui::FrmAutoZeroIPWindow> autoZeroWindow;
    std::unique_ptr<ui::FrmSetSpanWindow> spanWindow;
    std::size_t logStart = 0;
};

} // namespace

TEST(ServiceEndToEnd, BackDoorAndRepeatingReading) {
    Bench b;
    b.op.answer(Answer::Yes);
    b.t->menuClick("mnuQueryBackDoorOpen");
    EXPECT_TRUE(b.t->model.menu("mnuQueryRead").enabled);
    QString label;
    whenShown("frmCancelSend", [&](QWidget* w) {
        QTimer::singleShot(2500, [&, w] {
            label = w->findChild<QLabel*>("Label1")->text();
            click(w, "cmdCancel");
        });
    });
    b.t->menuClick("mnuQueryReadSensorComp");
    EXPECT_TRUE(label.startsWith("Sensor Compensated - SensorComp: ")) << label.toStdString();
    EXPECT_FALSE(b.cancelWindow->isVisible());
    auto sent = b.sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], "mw,1000,1");
    EXPECT_EQ(sent[1], "Read,7");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "Read,7"), 3);
}

TEST(ServiceEndToEnd, AutoZero) {
    Bench b;
    QString done;
    whenShown("frmAutoZeroIP", [&](QWidget* w) {
        auto* ok = w->findChild<QPushButton*>("CmdOK");
        auto* wait = new QTimer;
        wait->setInterval(100);
        QObject::connect(wait, &QTimer::timeout, [&, w, ok, wait] {
            if (!ok->isVisible())
                return;
            wait->stop();
            wait->deleteLater();
            done = w->findChild<QLabel*>("Label1")->text();
        });
        wait->start();
    });
    b.op.answer(Answer::Yes);
    b.t->menuClick("mnuDeviceAutoZeroDoNow");
    b.wait(200);
    EXPECT_EQ(done.toStdString(), service::kAutoZeroDone);
    auto sent = b.sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], "z,n");
    EXPECT_EQ(sent.back(), "z,s");
    EXPECT_EQ(b.t->model.frmTerminal.caption, "KVT Control Terminal");
}

TEST(ServiceEndToEnd, SpanSetting) {
    Bench b;
    QString seen;
    whenShown("frmSetSpan", [&](QWidget* w) {
        auto* save = w->findChild<QPushButton*>("cmdSave");
        auto* label = w->findChild<QLabel*>("Label1");
        auto* wait = new QTimer;
        wait->setInterval(100);
        // Saves once the flow has settled and the reading lies in the accepted window.
        QObject::connect(wait, &QTimer::timeout, [save, label, wait, &seen] {
            seen = label->text();
            int at = seen.lastIndexOf("SensorComp: ");
            int counts = at < 0 ? 0 : seen.mid(at + 12).trimmed().toInt();
            if (!save->isEnabled() || counts < 2500 || counts > 3650)
                return;
            wait->stop();
            wait->deleteLater();
            save->click();
        });
        wait->start();
        QTimer::singleShot(8000, [w, alive = QPointer<QTimer>(wait)] {
            if (alive && alive->isActive())
                click(w, "Command1");
        });
    });
    b.op.answer(Answer::Yes);
    b.op.answer(Answer::Yes);
    b.t->menuClick("mnuToolsSetSpan");
    auto sent = b.sent();
    ASSERT_GE(sent.size(), 5u) << seen.toStdString();
    EXPECT_EQ(sent[0], "mw,1000,1");
    EXPECT_EQ(sent[1], "v,o");
    auto vc = std::find(sent.begin(), sent.end(), "v,c");
    ASSERT_NE(vc, sent.end());
    std::vector<std::string> writes(vc + 1, sent.end());
    ASSERT_EQ(writes.size(), 22u) << b.op.texts().back();
    EXPECT_EQ(writes[0], "mw,113,120");
    EXPECT_EQ(writes[21], "mw,134,1.0");
    EXPECT_EQ(b.op.texts().back(), "Span Setting is Successively  Completed!");
}

TEST(ServiceEndToEnd, ZeroAdjust) {
    Bench b;
    whenShown("frmZeroMan", [&](QWidget* w) {
        auto* bar = w->findChild<QScrollBar*>("VScroll1");
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QTimer::singleShot(4000, [w] { click(w, "cmdSave"); });
    });
    b.op.answer(Answer::Yes);
    b.t->menuClick("mnuToolsZeroAdj");
    auto sent = b.sent();
    ASSERT_GE(sent.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 3),
              (std::vector<std::string>{"mw,1000,1", "V,C", "Read,4"}));
    EXPECT_EQ(sent[3].rfind("WRITE,0,", 0), 0u);
    EXPECT_NE(std::find(sent.begin(), sent.end(), "read,2"), sent.end());
    EXPECT_EQ(sent[sent.size() - 2], "z,w");
}

TEST(ServiceEndToEnd, CalibrateAdcAndDac) {
    Bench b;
    whenShown("frmCalibrateAD", [&](QWidget* w) {
        QTimer::singleShot(0, [&, w] {
            b.op.answer(Answer::Ok);
            b.op.answer(Answer::Ok);
            b.op.answer(Answer::Ok);
            click(w, "cmdAdcStart");
            b.op.answer(Answer::Ok);
            b.op.type("4.98");
            click(w, "cmdDacStart");
            click(w, "cmdCalExit");
        });
    });
    b.op.answer(Answer::Yes);
    b.t->menuClick("mnuToolsCalibrateAdcDac");
    auto sent = b.sent();
    auto texts = b.op.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "Span and Offset are Equal! Calibration is terminated!\r Make sure "
                        "correct signals are applied to the input!"),
              texts.end()); // the simulated input does not move between the two prompts
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "read,1"), 10);
    EXPECT_EQ(texts.back(), "DAC Calibration is Successively  Completed!");
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent.back(), "write,4,n");
    EXPECT_NE(std::find(sent.begin(), sent.end(), "MW,12,4016.064257"), sent.end());
}

TEST(ServiceEndToEnd, ValveTable) {
    Bench b;
    whenShown("frmValve", [&](QWidget* w) {
        QTimer::singleShot(0, [w] {
            click(w, "cmdStart");
            auto* bar = w->findChild<QScrollBar*>("VScroll1");
            for (int i = 0; i < 50; ++i)
                bar->triggerAction(QAbstractSlider::SliderPageStepAdd); // 2000 -> 2500
            click(w, "cmdReady");
            click(w, "cmdSave");
        });
    });
    b.op.answer(Answer::Yes);
    b.t->menuClick("mnuToolsValveTable");
    auto sent = b.sent();
    EXPECT_EQ(b.op.texts().back(), "Valve Table has been Saved. Click OK.");
    ASSERT_GE(sent.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(sent.end() - 10, sent.end() - 8),
              (std::vector<std::string>{"MW,40,0", "MW,42,1800"}));
    EXPECT_EQ(sent.back(), "MW,58,3000");
    EXPECT_NE(std::find(sent.begin(), sent.end(), "WRITE,4,N"), sent.end());
}
