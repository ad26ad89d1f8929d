// The service windows on the simulated device: each opens with its named controls and captions,
// forwards what the operator does, and closes through its logic.

#include "service/EepromFile.h"
#include "ui/FrmAutoTuneDialog.h"
#include "ui/FrmAutoZeroIPWindow.h"
#include "ui/FrmCalibrateADDialog.h"
#include "ui/FrmCalibrateCLDialog.h"
#include "ui/FrmCancelSendWindow.h"
#include "ui/FrmEditGTDialog.h"
#include "ui/FrmEepromDialogs.h"
#include "ui/FrmSetSpanWindow.h"
#include "ui/FrmValveDialog.h"
#include "ui/FrmZeroManDialog.h"
#include "ui/WidgetKit.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>

#include <fstream>
#include <map>

using namespace kvt;
using kvt::platform::Answer;
using kvt::testing::child;
using kvt::testing::saveShot;
using kvt::testing::typeInto;
using Lines = std::vector<std::string>;
using ServiceWindows = kvt::testing::ServiceDialogTest;

namespace {

std::string textOf(QWidget& window, const char* name) {
    return kvt::testing::captionOf(child<QWidget>(window, name)).toStdString();
}

// One device, the service windows, and a folder for .epr files.
struct WindowsTest : kvt::testing::ServiceDialogTest {
    test::TempFolder folder;
    // The device's own table with some values replaced, as .epr bytes in `name`.
    std::string table(const std::string& name, std::map<int, std::string> changed = {}) {
        service::EepromTable t{};
        for (int e = 0; e < service::kEepromEntries; ++e) {
            int v = service::entryVariable(e);
            t[static_cast<std::size_t>(e)] =
                service::makeEntry(v, changed.count(v) ? changed[v] : x.dev().eeprom(v));
        }
        std::ofstream(folder.file(name), std::ios::binary) << service::eprBytes(t);
        return folder.file(name);
    }
};

} // namespace

// The title bar, Alt+F4 and Escape all cancel; the loop hides the window once its wait returns.
TEST_F(ServiceWindows, CancelSendFollowsItsModelAndEveryCloseIsCancel) {
    service::FrmCancelSend model;
    int cancels = 0;
    model.onCancel = [&] { ++cancels; };
    ui::FrmCancelSendWindow window(model);
    kvt::testing::expectEveryControl(model, window);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    model.frmCancelSend.visible = true;
    model.changed();
    child(window, "cmdCancel")->click();
    window.close();
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(cancels, 3);
    model.frmCancelSend.visible = false;
    model.changed();
    EXPECT_FALSE(window.isVisible());

    // The model outlives its windows; a later change must not reach a destroyed one.
    { ui::FrmCancelSendWindow gone(model); }
    model.changed();
}

TEST_F(ServiceWindows, AutoZeroOffersCancelWhileRunningAndCloseIsCancel) {
    ui::FrmAutoZeroIPWindow window(x.service->autoZeroWindow, x.service->autoZero);
    kvt::testing::expectEveryControl(x.service->autoZeroWindow, window);
    bool cancelVisible = false;
    x.at(2.001, [&] {
        cancelVisible = child(window, "cmdCancel")->isVisibleTo(&window);
        window.close();
    });
    x.w.op.answer(platform::Answer::Yes);
    x.click("mnuDeviceAutoZeroDoNow");
    EXPECT_TRUE(cancelVisible);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(x.written(), (Lines{"z,n", "z,s"}));
}

TEST_F(ServiceWindows, SetSpanSavesOnlyAfterAReadingAndCloseIsCancel) {
    ui::FrmSetSpanWindow window(x.service->spanWindow, x.service->span);
    kvt::testing::expectEveryControl(x.service->spanWindow, window);
    x.dev().scriptFault("Read,7", sim::Fault::wrong("SensorComp: 3000"));
    bool saveEnabledAtStart = true;
    x.at(0.001, [&] { saveEnabledAtStart = child(window, "cmdSave")->isEnabled(); });
    x.at(1.5, [&] { window.close(); }); // after a reading that would do
    x.w.op.answer(platform::Answer::Yes);
    x.w.op.answer(platform::Answer::Yes);
    x.click("mnuToolsSetSpan");
    EXPECT_FALSE(saveEnabledAtStart);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(x.service->span.spanSaved());
    EXPECT_EQ(x.written(), (Lines{"mw,1000,1", "v,o", "Read,7", "Read,7", "v,c"}));
}

TEST_F(ServiceWindows, ZeroManShowsTheZeroWithoutAWriteAndClosesThroughItsLogic) {
    x.dialogs.zeroMan = window<ui::FrmZeroManDialog, service::ZeroAdjust>([&](auto&, auto& dlg) {
        auto* bar = child<QScrollBar>(dlg, "VScroll1");
        EXPECT_EQ(bar->value(), x.dev().dac(0));
        EXPECT_EQ(x.written().size(), 3u); // the loading, and no write for the bar
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(x.written(), Lines{"WRITE,0," + std::to_string(bar->value())});
        // Exit: the dialog goes only once its logic has finished.
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_EQ(x.written(), Lines{"V,C"});
    });
    run("mnuToolsZeroAdj");
}

TEST_F(ServiceWindows, CalibrateADPagesOptionsAndLocking) {
    x.dialogs.calibrateAD =
        window<ui::FrmCalibrateADDialog, service::CalibrateAD>([&](auto& c, auto& dlg) {
            auto* page0 = child<QWidget>(dlg, "fraInterf_0");
            auto* page1 = child<QWidget>(dlg, "fraInterf_1");
            child<QRadioButton>(dlg, "OptIntrf_1")->click();
            EXPECT_EQ(c.interfaceMode(), 1);
            auto* tabs = child<QTabBar>(dlg, "TabStripADC");
            for (int tab : {1, 0}) {
                emit tabs->tabBarClicked(tab);
                EXPECT_EQ(page0->isVisible(), tab == 0);
                EXPECT_EQ(page1->isVisible(), tab == 1);
            }
            // While a reading runs the interface and the tabs are locked.
            x.dev().scriptFault("read,1", sim::Fault::wrong("ADCinp:3000"));
            x.w.op.answer(platform::Answer::Ok);
            x.w.op.answer(platform::Answer::Ok);
            x.at(2.5, [&] {
                EXPECT_FALSE(child<QRadioButton>(dlg, "OptIntrf_0")->isEnabled());
                EXPECT_FALSE(tabs->isEnabled());
                EXPECT_TRUE(child<QWidget>(dlg, "FraProgBar")->isVisible());
                dlg.close(); // a cancel request: the dialog goes once the reading has stopped
                EXPECT_FALSE(c.closed());
            });
            child(dlg, "cmdAdcStart")->click();
        });
    run("mnuToolsCalibrateAdcDac");
}

TEST_F(ServiceWindows, ValveTableListStartAndCancel) {
    x.dialogs.valve = window<ui::FrmValveDialog, service::ValveTable>([&](auto&, auto& dlg) {
        auto* list = child<QListWidget>(dlg, "List1");
        list->setCurrentRow(2);
        EXPECT_EQ(child<QLineEdit>(dlg, "Text1")->text(), list->item(2)->text());
        x.written();
        child(dlg, "cmdStart")->click();
        EXPECT_TRUE(child<QWidget>(dlg, "Frame2")->isVisible());
        child(dlg, "cmdCancel")->click();
        EXPECT_EQ(x.written(), (Lines{"v,a", "WRITE,4,D", "WRITE,2,2000", "WRITE,4,N"}));
        dlg.close();
    });
    run("mnuToolsValveTable");
}

TEST_F(WindowsTest, CloseLoopRowsAndTypedValuesReachTheDevice) {
    x.dialogs.closeLoop =
        window<ui::FrmCalibrateCLDialog, service::CalibrateCL>([&](auto&, auto& dlg) {
            EXPECT_EQ(textOf(dlg, "Text2_9"), x.dev().eeprom(115));
            auto* bar = child<QScrollBar>(dlg, "VScroll1");
            EXPECT_FALSE(bar->isEnabled()); // nothing to trim before a row is chosen
            x.written();
            child<QRadioButton>(dlg, "Option1_1")->click();
            auto* flow = child<QLineEdit>(dlg, "Text1_1");
            EXPECT_EQ(flow->palette().color(QPalette::Base), QColor(255, 255, 128));
            EXPECT_EQ(bar->value(), std::stoi(x.dev().eeprom(131))); // set without a write
            EXPECT_EQ(x.written(), Lines{"s," + flow->text().toStdString()});
            typeInto(dlg, "Text2_1", "2000");
            typeInto(dlg, "Text1_1", "55");
            EXPECT_EQ(x.written(), (Lines{"mw,131,2000", "mw,132,0.550"}));
            saveShot(dlg, "service-close-loop.png");
            dlg.close(); // the restore path, then the dialog goes
        });
    run("mnuToolsCalibrateCL");
}

TEST_F(WindowsTest, GasTableEditorShowsTheTableAndLocksWhileSavingWhatWasTyped) {
    x.dialogs.editGas = window<ui::FrmEditGTDialog, service::EditGasTable>([&](auto&, auto& dlg) {
        const auto& rec = x.t.table.record(x.t.currentDevice());
        EXPECT_EQ(dlg.windowTitle(),
                  "Edit Gas Table #" + QString::number(rec.GasTable + 1) + "   [1-10]");
        EXPECT_EQ(textOf(dlg, "Text2_10"), x.dev().eeprom(109));
        typeInto(dlg, "Text2_6", "Argon", false);
        bool lockedWithBar = false;
        x.at(3.5, [&] {
            lockedWithBar = child<QProgressBar>(dlg, "ProgBar1")->isVisible() &&
                            !child<QLineEdit>(dlg, "Text2_7")->isEnabled() &&
                            !child(dlg, "cmdCancel")->isEnabled();
            saveShot(dlg, "service-edit-gas-table.png");
        });
        child(dlg, "cmdSave")->click();
        EXPECT_TRUE(lockedWithBar);
    });
    run("mnuToolsEditGasInfo");
    EXPECT_EQ(x.dev().eeprom(105), "Argon");
}

TEST_F(WindowsTest, AutoTuneModesPidEntryAndCloseWhileTuning) {
    x.dialogs.autoTune = window<ui::FrmAutoTuneDialog, service::AutoTune>([&](auto&, auto& dlg) {
        EXPECT_EQ(textOf(dlg, "Text1_0"), x.dev().eeprom(110));
        auto* list = child<QListWidget>(dlg, "List1");
        EXPECT_TRUE(child<QLineEdit>(dlg, "Text1_0")->isReadOnly());
        x.written();
        child<QRadioButton>(dlg, "Option1_1")->click(); // manual: the boxes open
        typeInto(dlg, "Text1_0", "2.5");
        EXPECT_EQ(x.written(), Lines{"mw,110,2.500000"});

        child<QRadioButton>(dlg, "Option1_0")->click();
        list->setCurrentRow(1);
        bool locked = false;
        x.at(2.5, [&] {
            locked = !child(dlg, "cmdStart")->isEnabled() && !list->isEnabled() &&
                     child<QLabel>(dlg, "lblMsg")->text().startsWith(" AutoTune Status");
            saveShot(dlg, "service-auto-tune.png");
            dlg.close(); // honoured once the poll's wait returns
        });
        child(dlg, "cmdStart")->click();
        EXPECT_TRUE(locked);
        EXPECT_EQ(x.written().at(0), "at,20.00"); // the list's pick
    });
    run("mnuToolsAutoTune");
}

TEST_F(WindowsTest, ExportShowsTheTableAndCancelCloses) {
    x.dialogs.eepromExport =
        window<ui::FrmExportEDialog, service::EepromExport>([&](auto&, auto& dlg) {
            const QStringList lines =
                child<QPlainTextEdit>(dlg, "Text1")->toPlainText().split('\n');
            EXPECT_EQ(lines.size(), 103); // two headings, two empty lines, 99 variables
            saveShot(dlg, "service-eeprom-export.png");
            child(dlg, "cmdCancel")->click();
        });
    run("mnuToolsEEPROMExport");
}

TEST_F(WindowsTest, ImportRefusesABadFileThenUploadsAGoodOneUntilCancel) {
    const std::string good = table("good.epr");
    std::string bytes = test::readFile(good);
    const std::string bad = folder.file("short.epr");
    std::ofstream(bad, std::ios::binary)
        << bytes.substr(0, bytes.rfind("\r\n", bytes.size() - 3) + 2);
    x.dialogs.eepromImport =
        window<ui::FrmImportEDialog, service::EepromImport>([&](auto&, auto& dlg) {
            auto* upload = child(dlg, "cmdUpload");
            for (const auto& [file, opens] : {std::pair{bad, false}, std::pair{good, true}}) {
                x.w.op.choose(file);
                child(dlg, "cmdOpen")->click();
                EXPECT_EQ(upload->isEnabled(), opens) << file;
            }
            saveShot(dlg, "service-eeprom-import.png");
            x.written();
            bool locked = false;
            x.at(1.0, [&] {
                locked = !upload->isEnabled() && !child(dlg, "cmdOpen")->isEnabled() &&
                         child<QProgressBar>(dlg, "ProgBar1")->isVisible();
                child(dlg, "cmdCancel")->click(); // stops after the current write
            });
            upload->click();
            EXPECT_TRUE(locked);
        });
    run("mnuToolsEEPROMImport");
    EXPECT_EQ(x.boxes().back(), service::kImportPartialText);
}

// Two files; the comparison with the device runs on the live line.
TEST_F(WindowsTest, CompareListsDifferencesShowsAllAndSavesAReport) {
    const std::string first = table("before.epr");
    const std::string second = table("after.epr", {{5, "12"}, {120, "3100"}});
    x.dialogs.eepromCompare =
        window<ui::FrmCompareEDialog, service::EepromCompare>([&](auto&, auto& dlg) {
            auto* list = child<QListWidget>(dlg, "List1");
            EXPECT_EQ(list->count(), 2);
            saveShot(dlg, "service-eeprom-compare.png");
            child<QCheckBox>(dlg, "chkAll")->click();
            EXPECT_EQ(list->count(), service::kEepromEntries);
            x.w.op.choose(folder.file("report.txt"));
            child(dlg, "cmdSave")->click();
            child(dlg, "cmdClose")->click();
        });
    x.w.op.choose(first);
    x.w.op.choose(second);
    run("mnuToolsEEPROMCompare", Answer::No); // No: a second file
    EXPECT_NE(test::readFile(folder.file("report.txt")).find("\r\n"), std::string::npos);
}
