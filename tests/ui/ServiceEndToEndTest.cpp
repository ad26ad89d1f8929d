// Service procedures' normal path through their windows, with the real Qt port and runtime against
// kvt-devsim on a pseudo-terminal at 9600 baud; the operator's boxes are scripted.

#include "support/PtyRig.h"
#include "ui/FrmAutoZeroIPWindow.h"
#include "ui/FrmCancelSendWindow.h"
#include "ui/FrmSetSpanWindow.h"
#include "ui/QtServiceDialogs.h"
#include "ui/WidgetKit.h"

#include <QListWidget>
#include <QProgressBar>

using namespace kvt;
using kvt::platform::Answer;
using kvt::testing::child;
using kvt::testing::whenReady;
using kvt::testing::whenShown;

namespace {

// The terminal and the service procedures with their windows, one RS-232 device.
struct Bench {
    explicit Bench(std::vector<std::string> simArgs = {"--baud", "9600"})
        : r({.simArgs = std::move(simArgs), .service = &serviceDialogs}) {}
    ui::QtServiceDialogs serviceDialogs;
    kvt::testing::PtyRig r;
    ui::FrmCancelSendWindow cancelWindow{r.service->cancelWindow};
    ui::FrmAutoZeroIPWindow autoZeroWindow{r.service->autoZeroWindow, r.service->autoZero};
    ui::FrmSetSpanWindow spanWindow{r.service->spanWindow, r.service->span};

    // The operator chooses `menu` and answers Yes to its first `yes` boxes.
    void runMenu(const char* menu, int yes = 1) {
        for (int i = 0; i < yes; ++i)
            r.op.answer(Answer::Yes);
        r.t->menuClick(menu);
    }
};

} // namespace

TEST(ServiceEndToEnd, AutoZero) {
    Bench b;
    QString done;
    whenShown("frmAutoZeroIP", [&](QWidget* w) {
        auto* ok = w->findChild<QPushButton*>("CmdOK");
        whenReady([ok] { return ok->isVisible(); },
                  [&, w, ok] {
                      done = w->findChild<QLabel*>("Label1")->text();
                      ok->click();
                  });
    });
    b.runMenu("mnuDeviceAutoZeroDoNow");
    b.r.wait(200);
    EXPECT_EQ(done.toStdString(), service::kAutoZeroDone);
    EXPECT_EQ(b.r.sent().front(), "z,n");
}

TEST(ServiceEndToEnd, SpanSetting) {
    Bench b;
    QString seen;
    whenShown("frmSetSpan", [&](QWidget* w) {
        auto* save = w->findChild<QPushButton*>("cmdSave");
        auto* label = w->findChild<QLabel*>("Label1");
        // Saves once the flow has settled and the reading lies in the accepted window.
        auto settled = [save, label, &seen] {
            seen = label->text();
            int at = seen.lastIndexOf("SensorComp: ");
            int counts = at < 0 ? 0 : seen.mid(at + 12).trimmed().toInt();
            return save->isEnabled() && counts >= 2500 && counts <= 3650;
        };
        whenReady(
            settled, [w, settled] { child(*w, settled() ? "cmdSave" : "Command1")->click(); },
            8000);
    });
    b.runMenu("mnuToolsSetSpan", 2);
    EXPECT_EQ(b.r.op.texts().back(), "Span Setting is Successively  Completed!")
        << seen.toStdString();
    EXPECT_EQ(b.r.countStarting("mw,1"), 23); // the back door and the rebuilt table
}

TEST(ServiceEndToEnd, CalibrateAdcAndDac) {
    Bench b;
    whenShown("frmCalibrateAD", [&](QWidget* w) {
        QTimer::singleShot(0, [&, w] {
            for (int i = 0; i < 3; ++i)
                b.r.op.answer(Answer::Ok);
            child(*w, "cmdAdcStart")->click();
            b.r.op.answer(Answer::Ok);
            b.r.op.type("4.98");
            child(*w, "cmdDacStart")->click();
            child(*w, "cmdCalExit")->click();
        });
    });
    b.runMenu("mnuToolsCalibrateAdcDac");
    EXPECT_EQ(b.r.op.texts().back(), "DAC Calibration is Successively  Completed!");
    ASSERT_FALSE(b.r.sent().empty());
    EXPECT_EQ(b.r.sent().back(), "write,4,n");
    EXPECT_TRUE(b.r.has("MW,12,4016.064257"));
}

TEST(CalibrationEndToEnd, AutoTuneRunsToDoneAndShowsTheConstants) {
    Bench x;
    QString message, proportional;
    whenShown("frmAutoTune", [&](QWidget* w) {
        // Start is still enabled while its first request waits: wait for the device's verdict.
        whenReady(
            [w] {
                return child<QLabel>(*w, "lblMsg")->text().startsWith("AutoTune Status: Done") &&
                       child(*w, "cmdStart")->isEnabled();
            },
            [&, w] {
                message = child<QLabel>(*w, "lblMsg")->text();
                proportional = child<QLineEdit>(*w, "Text1_0")->text();
                child(*w, "cmdExit")->click();
            },
            30000);
        QTimer::singleShot(0, [w] { child(*w, "cmdStart")->click(); });
    });
    x.runMenu("mnuToolsAutoTune");
    EXPECT_TRUE(message.contains("Proportional: " + proportional)) << message.toStdString();
    EXPECT_EQ(x.r.count("AT,STOP"), 0); // the device had finished: nothing to stop
    EXPECT_EQ(x.r.sent().back(), "s,0.0");
}

// Export from one device, import into a second, then compare the file with the second device:
// only variables 0, 3 and 7 may differ (the import never writes them).
TEST(CalibrationEndToEnd, ExportImportIntoASecondDeviceAndCompare) {
    test::TempFolder files;
    const std::string table = files.file("unit1.epr");
    {
        Bench a;
        bool progressSeen = false;
        whenShown("frmExportE", [&](QWidget* w) {
            auto* save = child(*w, "cmdSave");
            whenReady(
                [&, w, save] {
                    progressSeen |= child<QProgressBar>(*w, "ProgBar1")->isVisible();
                    return save->isEnabled();
                },
                [&, save] {
                    a.r.op.choose(table);
                    save->click();
                },
                20000);
        });
        a.runMenu("mnuToolsEEPROMExport");
        EXPECT_TRUE(progressSeen);
        EXPECT_EQ(a.r.op.texts().back(), service::kEeSaved);
        ASSERT_TRUE(service::parseEpr(test::readFile(table)).error.empty());
    }
    Bench b({"--baud", "9600", "--address", "02", "--seed", "2"});
    whenShown("frmImportE", [&](QWidget* w) {
        b.r.op.choose(table);
        child(*w, "cmdOpen")->click();
        child(*w, "cmdUpload")->click();
    });
    b.runMenu("mnuToolsEEPROMImport");
    EXPECT_EQ(b.r.countStarting("MW,"), 96);
    EXPECT_EQ(b.r.op.texts().back(), service::kEeSaved);

    QStringList differing;
    whenShown("frmCompareE", [&](QWidget* w) {
        auto* list = child<QListWidget>(*w, "List1");
        for (int i = 0; i < list->count(); ++i)
            differing << list->item(i)->text().left(3).trimmed();
        child(*w, "cmdClose")->click();
    });
    b.r.op.choose(table);
    b.runMenu("mnuToolsEEPROMCompare"); // Yes: with the device
    EXPECT_TRUE(differing.contains("3")) << differing.join(' ').toStdString();
    for (const auto& v : differing)
        EXPECT_TRUE(v == "0" || v == "3" || v == "7") << v.toStdString();
}
