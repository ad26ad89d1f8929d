#pragma once

#include "monitor/Controls.h"
#include "service/EepromFile.h"
#include "service/ServiceDialogs.h"
#include "service/ServiceLink.h"

#include <functional>
#include <string>

namespace kvt::service {

// Reads the 99 table variables from the current device, the way the export does: stops at the
// first time-out (`silent`) or when `stop` holds. Returns the entries read (99 = all).
int readDeviceTable(ServiceLink& link, EepromTable& table, bool& silent,
                    const std::function<bool()>& stop, const std::function<void(int)>& progress);

// "Export  EEPROM to File ".
struct FrmExportE : monitor::Observable {
    monitor::Control frmExportE{.caption = "Export  EEPROM to File "};
    monitor::Control Frame1{.caption = "Table Values"};
    monitor::Control Text1;
    monitor::Control cmdSave{.caption = "Save", .enabled = false};
    monitor::Control cmdCancel{.caption = "Cancel"};
    monitor::Control ProgBar1{.visible = false};
    int progress = 0; // 0..99 reads

    template <typename F> void forEachControl(F&& f) {
        f("frmExportE", frmExportE);
        f("Frame1", Frame1);
        f("Text1", Text1);
        f("cmdSave", cmdSave);
        f("cmdCancel", cmdCancel);
        f("ProgBar1", ProgBar1);
    }
};

// "&Export": reads the 99 table variables once the window shows, and saves them to an .epr file.
class EepromExport {
public:
    EepromExport(ServiceLink& link, ServiceDialogs& dialogs);

    FrmExportE model;
    std::string folder = "."; // where the proposed file name points

    void run();
    // Called by the window once it shows: the reading, with its progress and Cancel.
    void Form_Load();
    void cmdSave_Click();
    // Cancel and every other close: during the reading it stops it at the next reply.
    void cmdCancel_Click();
    void Form_QueryUnload() { cmdCancel_Click(); }

    bool complete() const { return complete_; }
    const EepromTable& table() const { return table_; }
    bool closed() const { return closed_; }

private:
    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    EepromTable table_{};
    bool complete_ = false;
    bool reading_ = false;
    bool cancelRequested_ = false;
    bool closed_ = false;
};

// "Import EEPROM".
struct FrmImportE : monitor::Observable {
    monitor::Control frmImportE{.caption = "Import EEPROM"};
    monitor::Control Frame1{.caption = "Table Values"};
    monitor::Control Text1{.visible = false};
    monitor::Control cmdOpen{.caption = "Open File"};
    monitor::Control cmdUpload{.caption = "Up Load", .enabled = false};
    monitor::Control cmdCancel{.caption = "Cancel"};
    monitor::Control ProgBar1{.visible = false};
    int progress = 0; // 0..96 writes

    template <typename F> void forEachControl(F&& f) {
        f("frmImportE", frmImportE);
        f("Frame1", Frame1);
        f("Text1", Text1);
        f("cmdOpen", cmdOpen);
        f("cmdUpload", cmdUpload);
        f("cmdCancel", cmdCancel);
        f("ProgBar1", ProgBar1);
    }
};

// "&Import": opens an .epr file and writes 96 of its variables into the device by position.
class EepromImport {
public:
    EepromImport(ServiceLink& link, ServiceDialogs& dialogs);

    FrmImportE model;
    std::string folder = ".";

    void run();
    void cmdOpen_Click();
    void cmdUpload_Click();
    // Cancel and every other close: during the upload it stops after the current write.
    void cmdCancel_Click();
    void Form_QueryUnload() { cmdCancel_Click(); }

    bool fileOpen() const { return open_; }
    bool closed() const { return closed_; }
    const std::string& path() const { return path_; }

    // Variables written, in order: 1..63 without 3 and 7, then 100..134.
    static const std::vector<int>& uploadSequence();

private:
    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    EepromTable table_{};
    std::string path_;
    bool open_ = false;
    bool uploading_ = false;
    bool cancelRequested_ = false;
    bool closed_ = false;
};

inline constexpr const char* kEeSaved = "EEPROM Table has been Saved. Click OK.";
inline constexpr const char* kExportStoppedText =
    "No reply while reading the EEPROM table. The reading is stopped and the table cannot be "
    "saved.\rCheck connection and try again!";
inline constexpr const char* kExportIncompleteText =
    "The table was not read completely and cannot be saved.";
inline constexpr const char* kImportPartialText =
    "Up Load cancelled. The device now holds a partly written EEPROM table.";
inline constexpr const char* kEeFilter = "EEPROM Files (*.EPR)|*.epr|All Files (*.*)|*.*";

} // namespace kvt::service
