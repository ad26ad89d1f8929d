#pragma once

#include "monitor/Controls.h"
#include "service/EepromFile.h"
#include "service/ServiceDialogs.h"
#include "service/ServiceLink.h"

#include <optional>
#include <string>
#include <vector>

namespace kvt::service {

// "Compare EEPROM": the variables that differ between a file and the device or a second file.
struct FrmCompareE : monitor::Observable {
    monitor::Control frmCompareE{.caption = "Compare EEPROM"};
    monitor::Control lblLeft;
    monitor::Control lblRight;
    monitor::ListControl List1; // "nnn  [left]  [right]"
    monitor::Control chkAll{.caption = "show all"};
    monitor::Control cmdSave{.caption = "Save report..."};
    monitor::Control cmdClose{.caption = "Close"};

    template <typename F> void forEachControl(F&& f) {
        f("frmCompareE", frmCompareE);
        f("lblLeft", lblLeft);
        f("lblRight", lblRight);
        f("chkAll", chkAll);
        f("cmdSave", cmdSave);
        f("cmdClose", cmdClose);
    }
};

// "Compare...": a service record before and after a calibration. It only reads the device.
class EepromCompare {
public:
    EepromCompare(ServiceLink& link, ServiceDialogs& dialogs);

    FrmCompareE model;
    std::string folder = ".";

    void run();
    void chkAll_Click(bool checked);
    void cmdSave_Click();
    void cmdClose_Click();
    void Form_QueryUnload() { cmdClose_Click(); }

    const std::vector<EepromDifference>& rows() const { return rows_; }
    bool closed() const { return closed_; }

private:
    std::optional<EepromTable> openFile(const std::string& title, std::string& path);
    void fill();

    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    EepromTable left_{}, right_{};
    std::vector<EepromDifference> rows_;
    bool closed_ = false;
};

inline constexpr const char* kCompareWithDevice =
    "Compare the file with the device?\r(No: choose a second file.)";

} // namespace kvt::service
