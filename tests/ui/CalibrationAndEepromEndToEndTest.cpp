// Close loop, gas table editing, auto-tune and the EEPROM export, import and compare, each once
// with the real Qt port, runtime and windows (offscreen) against kvt-devsim on a pseudo-terminal.

#include "monitor/FrmTerminal.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"
#include "service/ServiceMenus.h"
#include "support/DevSimProcess.h"
#include "support/MemoryPreferences.h"
#include "support/ScriptedOperator.h"
#include "support/TempFolder.h"
#include "support/TerminalWorld.h"
#include "ui/QtServiceDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace kvt;
using kvt::platform::Answer;

namespace {

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

// Calls `action` once `ready` holds (polled every 100 ms), or after `limitMs` regardless.
void whenReady(std::function<bool()> ready, std::function<void()> action, int limitMs) {
    auto* poll = new QTimer;
    poll->setInterval(100);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        *waited += 100;
        if (!ready() && *waited < limitMs)
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start();
}

template <typename W = QPushButton> W* child(QWidget* window, const char* name) {
    auto* w = window->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// The terminal's logic and every service window on the real host, one RS-232 device.
struct Rig {
    explicit Rig(std::vector<std::string> simArgs = {"--baud", "9600", "--verbose"})
        : sim(KVT_DEVSIM_PATH, simArgs, folder.file("devsim.log")), port(prefs) {
        prefs.save(link::kApplication, "Ports", "Com1", sim.path());
        prefs.save(link::kApplication, "Properties", "Interface", "True");
        kvt::testing::TerminalWorld::writeSetupTo(folder.file("setup.dat"),
                                                  {kvt::testing::deviceRecord("1", "01")});
        t = std::make_unique<monitor::FrmTerminal>(
            monitor::FrmTerminal::Services{port, rt, op, prefs, dialogs, folder.file("setup.dat")});
        service = std::make_unique<service::ServiceMenus>(*t, serviceDialogs);
        t->Form_Load();
        rt.pump().waitUntil([&] { return !t->loaderActive(); });
        logStart = all().size();
    }
    ~Rig() { rt.pump().shutdown(); }

    std::vector<std::string> all() {
        return kvt::testing::receivedCommands(test::readFile(folder.file("devsim.log")));
    }
    // Commands the device received since start-up.
    std::vector<std::string> sent() {
        auto a = all();
        return {a.begin() + static_cast<long>(logStart), a.end()};
    }
    long count(const std::string& prefix) {
        auto s = sent();
        return std::count_if(s.begin(), s.end(),
                             [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
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
    std::size_t logStart = 0;
};

} // namespace

TEST(CalibrationEndToEnd, CloseLoopTrimsTheTopRowAndRestoresOnExit) {
    Rig r;
    std::string moved;
    whenShown("frmCalibrateCL", [&](QWidget* w) {
        child<QRadioButton>(w, "Option1_0")->click();
        auto* bar = child<QScrollBar>(w, "VScroll1");
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        moved = std::to_string(bar->value());
        child(w, "cmdExit")->click();
    });
    r.op.answer(Answer::Yes);
    r.t->menuClick("mnuToolsCalibrateCL");
    auto sent = r.sent();
    ASSERT_GE(sent.size(), 28u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 5),
              (std::vector<std::string>{"mw,1000,1", "WRITE,4,N", "v,a", "u,%", "mr,133"}));
    EXPECT_EQ(r.count("mr,"), 20);
    EXPECT_EQ(sent[24], "V,A");
    EXPECT_EQ(sent[25], "s,100.0");
    EXPECT_EQ(sent[26], "mw,133," + moved);
    EXPECT_EQ(sent.back(), "s,0.0");
}

TEST(CalibrationEndToEnd, GasTableEditorSavesTheTypedGas) {
    Rig r;
    whenShown("frmEditGT", [&](QWidget* w) {
        auto* gas = child<QLineEdit>(w, "Text2_6");
        gas->selectAll();
        QTest::keyClicks(gas, "Argon");
        child(w, "cmdSave")->click();
    });
    r.op.answer(Answer::Yes);
    r.t->menuClick("mnuToolsEditGasInfo");
    EXPECT_EQ(r.count("mr,"), 11);
    EXPECT_EQ(r.count("MW,"), 11);
    auto sent = r.sent();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "MW,105,Argon"), sent.end());
    EXPECT_EQ(r.op.texts().back(), service::kGasTableSaved);
}

TEST(CalibrationEndToEnd, AutoTuneRunsToDoneAndShowsTheConstants) {
    Rig r;
    QString message, proportional;
    whenShown("frmAutoTune", [&](QWidget* w) {
        // Start is still enabled while its first request waits: wait for the device's verdict.
        whenReady(
            [w] {
                return child<QLabel>(w, "lblMsg")->text().startsWith("AutoTune Status: Done") &&
                       child(w, "cmdStart")->isEnabled();
            },
            [&, w] {
                message = child<QLabel>(w, "lblMsg")->text();
                proportional = child<QLineEdit>(w, "Text1_0")->text();
                child(w, "cmdExit")->click();
            },
            30000);
        QTimer::singleShot(0, [w] { child(w, "cmdStart")->click(); });
    });
    r.op.answer(Answer::Yes);
    r.t->menuClick("mnuToolsAutoTune");
    auto sent = r.sent();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "at,80.00"), sent.end());
    EXPECT_GE(r.count("at,s"), 3);
    EXPECT_TRUE(message.startsWith("AutoTune Status: Done")) << message.toStdString();
    EXPECT_TRUE(message.contains("Proportional: " + proportional)) << message.toStdString();
    EXPECT_EQ(r.count("AT,STOP"), 0); // the device had finished: nothing to stop
    EXPECT_EQ(sent.back(), "s,0.0");
}

// Export from one device, import into a second, then compare the file with the second device:
// only variables 0, 3 and 7 may differ (the import never writes them).
TEST(CalibrationEndToEnd, ExportImportIntoASecondDeviceAndCompare) {
    test::TempFolder files;
    const std::string table = files.file("unit1.epr");
    {
        Rig a;
        bool progressSeen = false;
        whenShown("frmExportE", [&](QWidget* w) {
            auto* save = child(w, "cmdSave");
            whenReady(
                [&, w, save] {
                    progressSeen |= child<QProgressBar>(w, "ProgBar1")->isVisible();
                    return save->isEnabled();
                },
                [&, w] {
                    a.op.choose(table);
                    child(w, "cmdSave")->click();
                },
                20000);
        });
        a.op.answer(Answer::Yes);
        a.t->menuClick("mnuToolsEEPROMExport");
        EXPECT_TRUE(progressSeen);
        EXPECT_EQ(a.count("mr,"), 99);
        EXPECT_EQ(a.op.texts().back(), service::kEeSaved);
        ASSERT_TRUE(service::parseEpr(test::readFile(table)).error.empty());
    }
    Rig b({"--baud", "9600", "--verbose", "--address", "02", "--seed", "2"});
    whenShown("frmImportE", [&](QWidget* w) {
        b.op.choose(table);
        child(w, "cmdOpen")->click();
        child(w, "cmdUpload")->click();
    });
    b.op.answer(Answer::Yes);
    b.t->menuClick("mnuToolsEEPROMImport");
    EXPECT_EQ(b.count("MW,"), 96);
    EXPECT_EQ(b.op.texts().back(), service::kEeSaved);

    QStringList differing;
    whenShown("frmCompareE", [&](QWidget* w) {
        auto* list = child<QListWidget>(w, "List1");
        for (int i = 0; i < list->count(); ++i)
            differing << list->item(i)->text().left(3).trimmed();
        child(w, "cmdClose")->click();
    });
    b.op.choose(table);
    b.op.answer(Answer::Yes); // with the device
    b.t->menuClick("mnuToolsEEPROMCompare");
    EXPECT_EQ(b.count("mr,"), 99);
    EXPECT_TRUE(differing.contains("3")) << differing.join(' ').toStdString();
    for (const auto& v : differing)
        EXPECT_TRUE(v == "0" || v == "3" || v == "7") << v.toStdString();
}
