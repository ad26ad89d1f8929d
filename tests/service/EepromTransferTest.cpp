#include "service/EepromTransfer.h"
#include "ServiceTestKit.h"
#include "platform/SafeFile.h"
#include "support/TempFolder.h"

#include <filesystem>

using kvt::test::readFile;
using kvt::test::TempFolder;

KVT_ON_BOTH_LINES(Eeprom);

namespace {

Lines exportReads() {
    Lines out;
    for (int e = 0; e < service::kEepromEntries; ++e)
        out.push_back("mr," + std::to_string(service::entryVariable(e)));
    return out;
}

// Exports the device of `x` into `path`; true when the file was written.
bool exportTo(ServiceWorld& x, const std::string& path) {
    bool saved = false;
    x.dialogs.eepromExport = [&](service::EepromExport& d) {
        x.w.op.choose(path);
        d.cmdSave_Click();
        saved = d.closed();
    };
    launch(x, "mnuToolsEEPROMExport");
    return saved;
}

void importFrom(ServiceWorld& x, const std::string& path,
                std::function<void(service::EepromImport&)> after = {}) {
    x.dialogs.eepromImport = [&](service::EepromImport& d) {
        x.w.op.choose(path);
        d.cmdOpen_Click();
        if (after)
            after(d);
        else
            d.cmdUpload_Click();
    };
    launch(x, "mnuToolsEEPROMImport");
}

} // namespace

TEST_P(Eeprom, ExportImportIntoAnotherDeviceAndCompare) {
    TempFolder dir;
    std::string path = dir.path() + "/unit.epr";
    ServiceWorld a(GetParam());
    a.dev().handle("mw,1,SN 77", a.w.rt.now());
    a.dev().handle("mw,120,2222", a.w.rt.now());
    ASSERT_TRUE(exportTo(a, path));
    EXPECT_EQ(a.written(), a.lines(exportReads()));
    EXPECT_EQ(a.w.op.fileRequests.back().proposedName, "./SN 77.epr");
    EXPECT_EQ(a.boxes().back(), service::kEeSaved);
    EXPECT_NE(readFile(path).find("\"1  \",\"SN 77" + std::string(25, ' ') + "\"\r\n"),
              std::string::npos);

    ServiceWorld b(GetParam());
    for (auto body : {"mw,3,999", "mw,7,998", "mw,5,997", "mw,120,1"})
        b.dev().handle(body, b.w.rt.now());
    std::string b0 = b.dev().eeprom(0);
    importFrom(b, path);
    auto wire = b.written();
    ASSERT_EQ(wire.size(), 96u);
    EXPECT_EQ(wire[0], b.lines({"MW,1,SN 77" + std::string(25, ' ')})[0]);
    EXPECT_EQ(b.boxes().back(), service::kEeSaved);
    // All but the unit's own variables 0, 3 and 7.
    for (int e = 0; e < service::kEepromEntries; ++e) {
        int v = service::entryVariable(e);
        auto want = v == 0 ? b0 : v == 3 ? "999" : v == 7 ? "998" : a.dev().eeprom(v);
        EXPECT_EQ(service::valueField(b.dev().eeprom(v)), service::valueField(want)) << v;
    }

    // Compared with the changed device: it only reads.
    a.dev().handle("mw,131,2100", a.w.rt.now());
    a.written();
    std::size_t shownRows = 0;
    a.dialogs.eepromCompare = [&](service::EepromCompare& d) { shownRows = d.rows().size(); };
    a.w.op.choose(path);
    launch(a, "mnuToolsEEPROMCompare");
    EXPECT_EQ(shownRows, 1u);
    EXPECT_EQ(a.written(), a.lines(exportReads()));
}

TEST_P(Eeprom, ExportFaults) {
    TempFolder dir;
    {
        SCOPED_TRACE("the reading stops at the first time-out and cannot be saved");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("mr,20", sim::Fault::silence(1));
        bool saveOffered = true;
        x.dialogs.eepromExport = [&](service::EepromExport& d) {
            saveOffered = d.model.cmdSave.enabled;
            d.cmdSave_Click();
        };
        launch(x, "mnuToolsEEPROMExport");
        EXPECT_EQ(x.written().size(), 21u);
        EXPECT_FALSE(saveOffered);
        EXPECT_EQ(x.boxes(), (Lines{x.boxes()[0], service::kExportStoppedText,
                                    service::kExportIncompleteText}));
        EXPECT_TRUE(x.w.op.fileRequests.empty());
    }
    {
        SCOPED_TRACE("a value holding a quote is not saved");
        ServiceWorld x(GetParam());
        x.dev().scriptFault("mr,9", sim::Fault::wrong("1\"5", 1));
        EXPECT_FALSE(exportTo(x, dir.path() + "/q.epr"));
        EXPECT_FALSE(std::filesystem::exists(dir.path() + "/q.epr"));
    }
    {
        SCOPED_TRACE("cancelling the replace question returns to the chooser; the old file stays");
        ServiceWorld x(GetParam());
        const std::string old = dir.path() + "/old.epr";
        ASSERT_EQ(platform::replaceFile(old, "keep"), "");
        x.dialogs.eepromExport = [&](service::EepromExport& d) {
            x.w.op.choose(old);
            x.w.op.answer(Answer::Cancel); // replace? no
            x.w.op.choose(std::nullopt);   // chooser again: cancelled
            d.cmdSave_Click();
        };
        launch(x, "mnuToolsEEPROMExport");
        EXPECT_EQ(x.w.op.fileRequests.size(), 2u);
        EXPECT_EQ(readFile(old), "keep");
    }
    ServiceWorld x(GetParam());
    const std::string unwritable = dir.path() + "/no/such/folder/x.epr";
    EXPECT_FALSE(exportTo(x, unwritable));
    EXPECT_EQ(x.boxes().back().rfind("Cannot write " + unwritable + ": ", 0), 0u); // host's text
}

TEST_P(Eeprom, ImportFaults) {
    TempFolder dir;
    ServiceWorld src(GetParam());
    std::string good = dir.path() + "/good.epr";
    ASSERT_TRUE(exportTo(src, good));
    std::string bytes = readFile(good);
    auto check = [&](const char* name, const std::string& file,
                     std::function<void(ServiceWorld&, service::EepromImport&)> act,
                     std::size_t writes, const std::string& lastBox) {
        SCOPED_TRACE(name);
        ServiceWorld x(GetParam());
        importFrom(x, file, [&](service::EepromImport& d) { act(x, d); });
        EXPECT_EQ(x.written().size(), writes);
        EXPECT_EQ(x.boxes().back(), lastBox);
        EXPECT_FALSE(x.service->link.busy());
    };
    std::string bad = dir.path() + "/bad.epr";
    ASSERT_EQ(platform::replaceFile(bad, bytes.substr(0, bytes.rfind("\"134"))), "");
    check(
        "a refused file leaves Up Load off", bad,
        [](ServiceWorld&, service::EepromImport& d) {
            EXPECT_FALSE(d.model.cmdUpload.enabled);
            d.cmdUpload_Click();
        },
        0, "The file holds 98 lines; an EEPROM table has exactly 99.");
    check(
        "Cancel during the upload stops after the current write", good,
        [](ServiceWorld& x, service::EepromImport& d) {
            x.at(1.1, [&d] { d.cmdCancel_Click(); });
            d.cmdUpload_Click();
        },
        4, service::kImportPartialText);
    check(
        "a refused write stops the upload there", good,
        [](ServiceWorld& x, service::EepromImport& d) {
            x.dev().scriptFault("MW,10,", sim::Fault::wrong("E", 1));
            d.cmdUpload_Click();
        },
        8, failure("Communication Error! EEPROM Table Writing is terminated!", "   [", "E"));
}
