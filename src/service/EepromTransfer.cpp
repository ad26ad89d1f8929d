#include "service/EepromTransfer.h"

#include "link/Vocabulary.h"
#include "platform/SafeFile.h"

#include <filesystem>

namespace kvt::service {

namespace cmd = link::cmd;

namespace {

const char* const kExportWarning = "  Do you want to Save Gas Table into the File?  ";
const char* const kImportWarning =
    "WARNING: Proceeding with this may cause loosing of the Calibration Data!\r   Do you want to "
    "Import EEPROM Table into the Unit?   ";

void exclaim(ServiceLink& link, const std::string& text) {
    link.terminal().op().message(
        {text, monitor::kSystemMonitor, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
}

} // namespace

int readDeviceTable(ServiceLink& link, EepromTable& table, bool& silent,
                    const std::function<bool()>& stop, const std::function<void(int)>& progress) {
    silent = false;
    int e = 0;
    for (; e < kEepromEntries && !stop(); ++e) {
        int variable = entryVariable(e);
        auto reply =
            link.exchange(cmd::memoryRead(std::to_string(variable)), {.reportNoReply = false});
        if (!reply)
            break;
        if (reply->empty()) {
            silent = true;
            break;
        }
        table[static_cast<std::size_t>(e)] = makeEntry(variable, *reply);
        progress(e + 1);
    }
    return e;
}

EepromExport::EepromExport(ServiceLink& link, ServiceDialogs& dialogs)
    : link_(link), dialogs_(dialogs) {
    if (dialogs_.hasEepromWindows())
        link_.terminal().registerMenu("mnuToolsEEPROMExport", [this] { run(); });
}

void EepromExport::run() {
    if (link_.busy() || !link_.confirm(kExportWarning) || !link_.canStart())
        return;
    ServiceLink::Session session(link_);
    model = {};
    table_ = {};
    complete_ = reading_ = cancelRequested_ = closed_ = false;
    dialogs_.showExport(*this);
}

void EepromExport::Form_Load() {
    if (reading_ || closed_)
        return;
    reading_ = true;
    model.progress = 0;
    model.ProgBar1.visible = true;
    model.changed();
    bool silent = false;
    EepromTable read{};
    int e = 0;
    if (link_.openPort())
        e = readDeviceTable(
            link_, read, silent, [this] { return cancelRequested_; },
            [this](int n) {
                model.progress = n;
                model.changed();
            });
    reading_ = false;
    table_ = read;
    complete_ = e == kEepromEntries;
    model.ProgBar1.visible = false;
    model.Text1.caption = screenText(table_);
    model.cmdSave.enabled = complete_;
    model.changed();
    if (silent)
        link_.inform(kExportStoppedText);
    if (cancelRequested_) {
        closed_ = true;
        model.frmExportE.visible = false;
        model.changed();
    }
}

void EepromExport::cmdSave_Click() {
    if (closed_ || reading_)
        return;
    if (!complete_) {
        link_.inform(kExportIncompleteText);
        return;
    }
    if (auto reason = unsavableReason(table_); !reason.empty()) {
        exclaim(link_, reason);
        return;
    }
    auto& op = link_.terminal().op();
    std::string serial = table_[1].value;
    while (true) {
        auto path = op.chooseFile({.title = "Save EEPROM Table to the File",
                                   .filter = kEeFilter,
                                   .proposedName = proposedFileName(folder, serial),
                                   .save = true,
                                   .confirmReplace = false});
        if (!path)
            return;
        std::error_code ec;
        if (std::filesystem::exists(*path, ec) &&
            op.message({"Replace existing file - " + *path + "?", monitor::kSystemMonitor,
                        platform::Buttons::OkCancel, platform::Icon::Exclamation, 0}) !=
                platform::Answer::Ok)
            continue;
        if (auto error = platform::replaceFile(*path, eprBytes(table_)); !error.empty()) {
            exclaim(link_, error);
            return;
        }
        break;
    }
    link_.inform(kEeSaved);
    closed_ = true;
    model.frmExportE.visible = false;
    model.changed();
}

void EepromExport::cmdCancel_Click() {
    if (closed_)
        return;
    if (reading_) {
        cancelRequested_ = true;
        return;
    }
    closed_ = true;
    model.frmExportE.visible = false;
    model.changed();
}

EepromImport::EepromImport(ServiceLink& link, ServiceDialogs& dialogs)
    : link_(link), dialogs_(dialogs) {
    if (dialogs_.hasEepromWindows())
        link_.terminal().registerMenu("mnuToolsEEPROMImport", [this] { run(); });
}

const std::vector<int>& EepromImport::uploadSequence() {
    static const std::vector<int> seq = [] {
        std::vector<int> s;
        for (int v = 1; v <= 63; ++v)
            if (v != 3 && v != 7)
                s.push_back(v);
        for (int v = 100; v <= 134; ++v)
            s.push_back(v);
        return s;
    }();
    return seq;
}

void EepromImport::run() {
    if (link_.busy() || !link_.confirm(kImportWarning) || !link_.canStart())
        return;
    ServiceLink::Session session(link_);
    model = {};
    table_ = {};
    path_.clear();
    open_ = uploading_ = cancelRequested_ = closed_ = false;
    dialogs_.showImport(*this);
}

void EepromImport::cmdOpen_Click() {
    if (closed_ || uploading_)
        return;
    auto chosen = link_.terminal().op().chooseFile({.title = "Open EEPROM Table File",
                                                    .filter = kEeFilter,
                                                    .proposedName = folder + "/*.epr"});
    if (!chosen)
        return;
    std::string bytes;
    bool missing = false;
    std::string error = platform::readFile(*chosen, bytes, missing);
    if (error.empty() && missing)
        error = "Cannot read " + *chosen + ": the file does not exist.";
    EprRead read;
    if (error.empty()) {
        read = parseEpr(bytes);
        error = read.error;
    }
    if (!error.empty()) {
        // Whatever was open before is dropped too: Up Load must never send a table the operator
        // no longer sees.
        open_ = false;
        table_ = {};
        model.cmdUpload.enabled = false;
        model.Text1.visible = false;
        model.changed();
        exclaim(link_, error);
        return;
    }
    table_ = read.table;
    path_ = *chosen;
    open_ = true;
    std::string tail = path_.size() > 25 ? path_.substr(path_.size() - 25) : path_;
    model.frmImportE.caption = "Import EEPROM ..." + tail;
    model.Text1.visible = true;
    model.Text1.caption = screenText(table_);
    model.cmdUpload.enabled = true;
    model.changed();
}

void EepromImport::cmdUpload_Click() {
    if (closed_ || uploading_ || !open_)
        return;
    if (!link_.openPort())
        return;
    uploading_ = true;
    model.cmdOpen.enabled = model.cmdUpload.enabled = false;
    model.progress = 0;
    model.ProgBar1.visible = true;
    model.changed();
    bool ok = true;
    bool cancelled = false;
    for (int variable : uploadSequence()) {
        int entry = variable < 64 ? variable : variable - 36;
        auto reply = link_.exchange(cmd::memoryWriteUpper(
            std::to_string(variable), table_[static_cast<std::size_t>(entry)].value));
        if (!reply || reply->rfind("MW", 0) != 0) {
            link_.failure("Communication Error! EEPROM Table Writing is terminated!",
                          kSpacedBracket, reply.value_or(""));
            ok = false;
            break;
        }
        ++model.progress;
        model.changed();
        if (cancelRequested_ || !link_.pause(0.25, [this] { return cancelRequested_; }) ||
            cancelRequested_) {
            cancelled = model.progress < static_cast<int>(uploadSequence().size());
            ok = !cancelled;
            break;
        }
    }
    if (cancelled)
        exclaim(link_, kImportPartialText);
    else if (ok)
        link_.inform(kEeSaved);
    model.ProgBar1.visible = false;
    uploading_ = false;
    closed_ = true;
    model.frmImportE.visible = false;
    model.changed();
}

void EepromImport::cmdCancel_Click() {
    if (closed_)
        return;
    if (uploading_) {
        cancelRequested_ = true;
        return;
    }
    closed_ = true;
    model.frmImportE.visible = false;
    model.changed();
}

} // namespace kvt::service
