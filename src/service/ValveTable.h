#pragma once

#include "monitor/Controls.h"
#include "service/ServiceDialogs.h"
#include "service/ServiceLink.h"
#include "service/ZeroAdjust.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kvt::service {

// "Valve Table Adjustment".
struct FrmValve : monitor::Observable {
    monitor::Control frmValve{.caption = "Valve Table Adjustment"};
    monitor::Control Frame1;
    monitor::ListControl List1;
    monitor::Control Text1;
    monitor::Control cmdEdit{.caption = "Edit"};
    monitor::Control Frame2{.caption = "Valve Output Adjusyment", .visible = false};
    monitor::Control Text2;
    ScrollBar VScroll1{.value = 0};
    monitor::Control cmdReady{.caption = "Ready"};
    monitor::Control cmdCancel{.caption = "Cancel"};
    monitor::Control lblMsg{.visible = false};
    monitor::Control cmdStart{.caption = "Start"};
    monitor::Control cmdSave{.caption = "Save", .enabled = false};
    monitor::Control cmdExit{.caption = "Exit"};
    monitor::Control ProgBar1{.visible = false};
    int progress = 0; // 0..10

    template <typename F> void forEachControl(F&& f) {
        f("frmValve", frmValve);
        f("Frame1", Frame1);
        f("Text1", Text1);
        f("cmdEdit", cmdEdit);
        f("Frame2", Frame2);
        f("Text2", Text2);
        f("cmdReady", cmdReady);
        f("cmdCancel", cmdCancel);
        f("lblMsg", lblMsg);
        f("cmdStart", cmdStart);
        f("cmdSave", cmdSave);
        f("cmdExit", cmdExit);
        f("ProgBar1", ProgBar1);
    }
};

// "&Valve Table": reads the controller's ten valve-drive values, lets the operator edit them or
// rebuild them from the drive that gives full-scale flow, and writes them back.
class ValveTable {
public:
    using Table = std::array<std::int16_t, 10>;

    ValveTable(ServiceLink& link, ServiceDialogs& dialogs);

    FrmValve model;

    void run();
    void Form_Load();

    // What the window forwards.
    void List1_Click(int index);
    void Text1_Change(const std::string& text) { model.Text1.caption = text; }
    void Text2_Change(const std::string& text) { model.Text2.caption = text; }
    // False: the key is swallowed.
    bool Text1_KeyPress(int key);
    bool Text2_KeyPress(int key);
    // An operator move of the bar.
    void VScroll1_Change(int value);
    void cmdEdit_Click();
    void cmdStart_Click();
    void cmdReady_Click();
    void cmdCancel_Click();
    void cmdSave_Click();
    // Exit, the title bar, Esc, Alt+F4. Refused while the table is being saved; during another
    // wait it is honoured once that wait has returned.
    void cmdExit_Click();
    void Form_QueryUnload() { cmdExit_Click(); }

    const Table& table() const { return table_; }
    bool tableComplete() const { return complete_; }
    bool updateDisabled() const { return updateDisabled_; }
    bool closed() const { return closed_; }

    // The table from the drive that gives full-scale flow (999..4095): top = counts x 1.2 (a half
    // to even), steps of 100, 150 or 200 down to entry 1, entry 0 = 0; entries above the 12-bit
    // converter's 4095 are clamped.
    static Table generate(int fullScaleCounts);

private:
    template <typename F> void operation(F&& f);
    // Sets the bar from here and writes its value, merged with moves made meanwhile.
    void moveBarAndWrite(int value);
    void writeValve(int value);
    void restoreUpdate();
    void tableMode();
    void showList();
    void doExit();
    bool stopping() const { return exitRequested_ || closed_; }

    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    Table table_{};
    bool complete_ = false;
    bool updateDisabled_ = false;
    bool busyOp_ = false;
    bool saving_ = false;
    bool writing_ = false;
    std::optional<int> pendingValve_;
    bool exitRequested_ = false;
    bool closed_ = false;
};

inline constexpr const char* kValveTableHeadline =
    "Communication Error! Valve Table Setting is terminated!";
inline constexpr const char* kValveRangeText = "The valve counts must be a number from 0 to 4095.";
inline constexpr const char* kAdjustMessage =
    "Apply 30 PSI inlet pressure. Make sure installation Valve fully Open. Adjust Valve Output "
    "Counts to get 100% F.S. Flow. Wait 5 minutes and readjust again if required. Click [Ready] "
    "when Done.";

} // namespace kvt::service
