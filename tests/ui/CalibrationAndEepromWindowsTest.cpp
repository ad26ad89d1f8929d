// The close-loop, gas table, auto-tune and EEPROM windows on the simulated device: each opens with
// its captions, forwards what the operator does, and closes through its logic.

#include "service/EepromFile.h"
#include "support/ServiceWorld.h"
#include "ui/FrmAutoTuneDialog.h"
#include "ui/FrmCalibrateCLDialog.h"
#include "ui/FrmEditGTDialog.h"
#include "ui/FrmEepromDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace kvt;
using kvt::platform::Answer;
using kvt::testing::kRs232;
using kvt::testing::ServiceWorld;

namespace {

template <typename Model> void expectEveryControl(Model& model, QWidget& window) {
    model.forEachControl([&](const std::string& name, monitor::Control&) {
        QString n = QString::fromStdString(name);
        EXPECT_TRUE(window.objectName() == n || window.findChild<QWidget*>(n) != nullptr) << name;
    });
}

// Widget texts by object name ("" = the window title).
void expectTexts(QWidget& window, std::initializer_list<std::pair<const char*, QString>> texts) {
    for (const auto& [name, text] : texts) {
        QString shown = window.windowTitle();
        if (auto* b = window.findChild<QAbstractButton*>(name); b && *name)
            shown = b->text();
        else if (auto* l = window.findChild<QLabel*>(name); l && *name)
            shown = l->text();
        else if (auto* e = window.findChild<QLineEdit*>(name); e && *name)
            shown = e->text();
        EXPECT_EQ(shown, text) << name;
    }
}

// The window as drawn, for a look (KVT_SCREENSHOTS, or a folder in /tmp).
void saveShot(QWidget& window, const char* file) {
    QString folder = qEnvironmentVariable("KVT_SCREENSHOTS", QDir::tempPath() + "/kvt-screenshots");
    QDir().mkpath(folder);
    QApplication::processEvents(); // layouts settle as they would on screen
    EXPECT_TRUE(window.grab().save(folder + "/" + file));
}

template <typename W = QPushButton> W* child(QWidget& window, const char* name) {
    auto* w = window.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void typeInto(QWidget& window, const char* box, const QString& text, bool enter = true) {
    auto* edit = child<QLineEdit>(window, box);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    if (enter)
        QTest::keyClick(edit, Qt::Key_Return);
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}
using Lines = std::vector<std::string>;

// One device, the service windows, and a folder for .epr files.
struct WindowsTest : ::testing::Test {
    ServiceWorld x{kRs232};
    test::TempFolder folder;
    int shown = 0;

    // The hook that builds the window over the logic a menu started, checks that every named
    // control has its widget, shows it and runs `script`.
    template <typename Dialog, typename Logic, typename Script> auto window(Script script) {
        return [this, script](Logic& logic) {
            Dialog dlg(logic);
            expectEveryControl(logic.model, dlg);
            dlg.show();
            script(logic, dlg);
            EXPECT_TRUE(logic.closed());
            ++shown;
        };
    }
    void run(const std::string& menu, Answer confirm = Answer::Yes) {
        x.w.op.answer(confirm);
        x.click(menu);
        EXPECT_EQ(shown, 1) << menu;
        shown = 0;
    }
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

TEST_F(WindowsTest, CloseLoopRowsBarAndTypedValuesReachTheDevice) {
    x.dialogs.closeLoop =
        window<ui::FrmCalibrateCLDialog, service::CalibrateCL>([&](auto&, auto& dlg) {
            expectTexts(dlg, {{"", "Close Loop Calibration."},
                              {"lblIndex_0", "133"},
                              {"lblIndex_9", "115"},
                              {"Text2_9", q(x.dev().eeprom(115))}});
            auto* bar = child<QScrollBar>(dlg, "VScroll1");
            EXPECT_FALSE(bar->isEnabled()); // nothing to trim before a row is chosen
            x.written();
            child<QRadioButton>(dlg, "Option1_1")->click();
            auto* flow = child<QLineEdit>(dlg, "Text1_1");
            EXPECT_EQ(flow->palette().color(QPalette::Base), QColor(255, 255, 128));
            EXPECT_FALSE(child<QLineEdit>(dlg, "Text1_0")->isEnabled());
            EXPECT_EQ(bar->value(), std::stoi(x.dev().eeprom(131))); // set without a write
            EXPECT_EQ(x.written(), Lines{"s," + flow->text().toStdString()});

            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
            EXPECT_EQ(x.written(), Lines{"mw,131," + std::to_string(bar->value())});
            typeInto(dlg, "Text2_1", "2000");
            typeInto(dlg, "Text1_1", "55");
            EXPECT_EQ(x.written(), (Lines{"mw,131,2000", "mw,132,0.550"}));
            EXPECT_EQ(bar->value(), 2000);
            saveShot(dlg, "service-close-loop.png");
            dlg.close(); // the restore path, then the dialog goes
            auto restore = x.written();
            ASSERT_EQ(restore.size(), 3u);
            EXPECT_EQ(restore[2], "s,0.0");
        });
    run("mnuToolsCalibrateCL");
    EXPECT_EQ(x.dev().eeprom(131), "2000");
}

TEST_F(WindowsTest, GasTableEditorSavesWhatWasTypedWithItsProgress) {
    x.dialogs.editGas = window<ui::FrmEditGTDialog, service::EditGasTable>([&](auto&, auto& dlg) {
        const auto& rec = x.t.table.record(x.t.currentDevice());
        expectTexts(dlg,
                    {{"", "Edit Gas Table #" + QString::number(rec.GasTable + 1) + "   [1-10]"},
                     {"Text2_0", q(x.dev().eeprom(1))},
                     {"Text2_10", q(x.dev().eeprom(109))}});
        typeInto(dlg, "Text2_7", "Line 3 bench", false);
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
    EXPECT_EQ(x.dev().eeprom(106), "Line 3 bench");
    EXPECT_EQ(x.boxes().back(), service::kGasTableSaved);
}

TEST_F(WindowsTest, AutoTuneModesPidEntryAndCloseWhileTuning) {
    x.dialogs.autoTune = window<ui::FrmAutoTuneDialog, service::AutoTune>([&](auto&, auto& dlg) {
        expectTexts(dlg, {{"", "PID AutoTune"},
                          {"Text1_0", q(x.dev().eeprom(110))},
                          {"cmdStart", "&Start"},
                          {"lblMsg", service::kAutoTunePrompt}});
        auto* list = child<QListWidget>(dlg, "List1");
        EXPECT_EQ(list->currentItem()->text(), " 80.00");
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
        auto sent = x.written();
        ASSERT_GE(sent.size(), 5u);
        EXPECT_EQ(sent.front(), "at,20.00");
        EXPECT_EQ(sent[sent.size() - 4], "AT,STOP");
    });
    run("mnuToolsAutoTune");
    EXPECT_EQ(x.dev().eeprom(110), "2.500000");
}

TEST_F(WindowsTest, ExportShowsTheTableAndSavesAFileThatReadsBack) {
    const std::string path = folder.file("unit.epr");
    x.dialogs.eepromExport =
        window<ui::FrmExportEDialog, service::EepromExport>([&](auto& e, auto& dlg) {
            const QStringList lines =
                child<QPlainTextEdit>(dlg, "Text1")->toPlainText().split('\n');
            ASSERT_EQ(lines.size(), 103); // two headings, two empty lines, 99 variables
            EXPECT_EQ(lines[66], "[Gas Dependent Variables]");
            EXPECT_TRUE(lines[3].startsWith("1" + QString(12, ' ') + "KV23001A"));
            saveShot(dlg, "service-eeprom-export.png");
            x.w.op.choose(path);
            child(dlg, "cmdSave")->click();
            EXPECT_EQ(service::parseEpr(test::readFile(path)).table, e.table());
        });
    run("mnuToolsEEPROMExport");
    EXPECT_EQ(x.boxes().back(), service::kEeSaved);
}

TEST_F(WindowsTest, ImportRefusesABadFileThenUploadsAGoodOneUntilCancel) {
    const std::string good = table("good.epr", {{2, "77"}});
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
                EXPECT_EQ(child<QPlainTextEdit>(dlg, "Text1")->isVisible(), opens) << file;
            }
            EXPECT_TRUE(dlg.windowTitle().endsWith("good.epr"));
            EXPECT_NE(x.boxes().back().find("holds 98 lines"), std::string::npos);
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
            auto sent = x.written();
            ASSERT_FALSE(sent.empty());
            EXPECT_LT(sent.size(), 10u);
            EXPECT_EQ(sent[0], "MW,1," + service::valueField("KV23001A"));
        });
    run("mnuToolsEEPROMImport");
    EXPECT_EQ(x.dev().eeprom(2), service::valueField("77"));
    EXPECT_EQ(x.boxes().back(), service::kImportPartialText);
}

// The comparison with the device runs end to end; here two files.
TEST_F(WindowsTest, CompareListsDifferencesShowsAllAndSavesAReport) {
    const std::string first = table("before.epr");
    const std::string second = table("after.epr", {{5, "12"}, {120, "3100"}});
    x.dialogs.eepromCompare =
        window<ui::FrmCompareEDialog, service::EepromCompare>([&](auto&, auto& dlg) {
            expectTexts(dlg, {{"", "Compare EEPROM"}, {"lblRight", q(second)}});
            auto* list = child<QListWidget>(dlg, "List1");
            ASSERT_EQ(list->count(), 2);
            EXPECT_EQ(list->item(0)->text(), q("5    [" + service::valueField(x.dev().eeprom(5)) +
                                               "]  [" + service::valueField("12") + "]"));
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
