#include "service/EepromCompare.h"

#include "platform/SafeFile.h"
#include "service/EepromTransfer.h"

namespace kvt::service {

namespace {

void exclaim(ServiceLink& link, const std::string& text) {
    link.terminal().op().message(
        {text, monitor::kSystemMonitor, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
}

} // namespace

EepromCompare::EepromCompare(ServiceLink& link, ServiceDialogs& dialogs)
    : link_(link), dialogs_(dialogs) {
    if (dialogs_.hasEepromWindows())
        link_.terminal().registerMenu("mnuToolsEEPROMCompare", [this] { run(); });
}

std::optional<EepromTable> EepromCompare::openFile(const std::string& title, std::string& path) {
    auto chosen = link_.terminal().op().chooseFile(
        {.title = title, .filter = kEeFilter, .proposedName = folder + "/*.epr"});
    if (!chosen)
        return std::nullopt;
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
        exclaim(link_, error);
        return std::nullopt;
    }
    path = *chosen;
    return read.table;
}

void EepromCompare::run() {
    if (link_.busy())
        return;
    model = {};
    rows_.clear();
    closed_ = false;
    std::string leftName, rightName;
    auto left = openFile("Open EEPROM Table File", leftName);
    if (!left)
        return;
    std::optional<EepromTable> right;
    if (link_.confirm(kCompareWithDevice)) {
        if (!link_.canStart() || !link_.openPort())
            return;
        ServiceLink::Session session(link_);
        EepromTable read{};
        bool silent = false;
        int n = readDeviceTable(
            link_, read, silent, [] { return false; }, [](int) {});
        if (n != kEepromEntries) {
            if (silent)
                link_.inform(kExportStoppedText);
            return;
        }
        right = read;
        rightName = "device";
    } else {
        right = openFile("Open EEPROM Table File", rightName);
        if (!right)
            return;
    }
    left_ = *left;
    right_ = *right;
    model.lblLeft.caption = leftName;
    model.lblRight.caption = rightName;
    fill();
    dialogs_.showCompare(*this);
}

void EepromCompare::fill() {
    rows_ = compareTables(left_, right_, model.chkAll.checked);
    model.List1.items.clear();
    for (const auto& d : rows_)
        model.List1.items.push_back(indexField(d.variable) + "  [" + d.left + "]  [" + d.right +
                                    "]");
    model.List1.listIndex = -1;
    model.changed();
}

void EepromCompare::chkAll_Click(bool checked) {
    model.chkAll.checked = checked;
    fill();
}

void EepromCompare::cmdSave_Click() {
    if (closed_)
        return;
    auto path = link_.terminal().op().chooseFile({.title = "Save Comparison Report",
                                                  .filter = "Text Files (*.txt)|*.txt",
                                                  .proposedName = folder + "/compare.txt",
                                                  .save = true,
                                                  .confirmReplace = true});
    if (!path)
        return;
    auto report = compareReport(model.lblLeft.caption, model.lblRight.caption, rows_);
    if (auto error = platform::replaceFile(*path, report); !error.empty())
        exclaim(link_, error);
}

void EepromCompare::cmdClose_Click() {
    closed_ = true;
    model.frmCompareE.visible = false;
    model.changed();
}

} // namespace kvt::service
