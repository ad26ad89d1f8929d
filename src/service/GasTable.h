#pragma once

#include "monitor/Controls.h"
#include "service/ServiceDialogs.h"
#include "service/ServiceLink.h"
#include "service/ZeroAdjust.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kvt::service {

// "Close Loop Calibration.": row r is point 9 - r of the gas table, so row 0 is full scale.
struct FrmCalibrateCL : monitor::Observable {
    static constexpr int kRows = 10;
    monitor::Control frmCalibrateCL{.caption = "Close Loop Calibration."};
    std::array<monitor::Control, kRows> Option1{};
    std::array<monitor::Control, kRows> Text1{}; // % F.S.
    std::array<monitor::Control, kRows> Text2{}; // sensor counts
    std::array<monitor::Control, kRows> lblIndex{};
    ScrollBar VScroll1{.value = 4095, .min = 120, .max = 4095, .largeChange = 10, .enabled = false};
    monitor::ListControl List1;
    monitor::Control cmdExit{.caption = "Exit"};
    int selected = -1; // the row being trimmed

    FrmCalibrateCL();

    template <typename F> void forEachControl(F&& f) {
        f("frmCalibrateCL", frmCalibrateCL);
        for (std::size_t r = 0; r < Option1.size(); ++r) {
            f("Option1_" + std::to_string(r), Option1[r]);
            f("Text1_" + std::to_string(r), Text1[r]);
            f("Text2_" + std::to_string(r), Text2[r]);
            f("lblIndex_" + std::to_string(r), lblIndex[r]);
        }
        f("cmdExit", cmdExit);
    }
};

// "&Close Loop": runs the controller at each point's set point while the operator trims the
// point's counts against an external flow standard. Every change goes to the device at once.
class CalibrateCL {
public:
    CalibrateCL(ServiceLink& link, ServiceDialogs& dialogs);

    FrmCalibrateCL model;

    void run();
    void Form_Load();

    // What the window forwards.
    void List1_Click(int index);
    void Option1_Click(int row);
    void Text1_Change(int row, const std::string& text);
    void Text2_Change(int row, const std::string& text);
    // False: the key is swallowed.
    bool Text1_KeyPress(int row, int key);
    bool Text2_KeyPress(int row, int key);
    // An operator move of the bar.
    void VScroll1_Change(int value);
    // Exit, the title bar, Esc, Alt+F4: honoured once a wait in progress has returned.
    void cmdExit_Click();
    void Form_QueryUnload() { cmdExit_Click(); }

    bool loaded() const { return loaded_; }
    bool closed() const { return closed_; }
    int errorCount() const { return errors_; }

    // The EEPROM variables of row r.
    static int countsVariable(int row) { return 133 - 2 * row; }
    static int fractionVariable(int row) { return 134 - 2 * row; }

private:
    template <typename F> void operation(F&& f);
    bool load();
    void selectRow(int row);
    bool writeCounts(int row, int value);
    void writeBar(int value);
    void doExit();
    bool stopping() const { return exitRequested_ || closed_; }

    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    std::int16_t errors_ = 0;
    bool loaded_ = false;
    bool busyOp_ = false;
    bool writing_ = false;
    std::optional<int> pendingBar_;
    bool exitRequested_ = false;
    bool closed_ = false;
};

// The steps before running in closed loop: back door, the device's own updating, valve in auto,
// units in % F.S., with their messages. The first failure among updating and valve is counted in
// `errors` and tolerated; false means stop loading.
bool prepareClosedLoop(ServiceLink& link, std::int16_t& errors, const std::function<bool()>& stop);

// The valve, units and set point of the current device record, restored on leaving a procedure
// that ran the controller in closed loop.
void restoreFromRecord(ServiceLink& link);

// "Edit Gas Table": the serial number and the ten descriptive gas variables.
struct FrmEditGT : monitor::Observable {
    static constexpr int kBoxes = 11;
    monitor::Control frmEditGT{.caption = "Edit Gas Table"};
    std::array<monitor::Control, kBoxes> Text2{}; // 0: variable 1; k: variable 99 + k
    monitor::Control cmdSave{.caption = "Save"};
    monitor::Control cmdCancel{.caption = "Cancel"};
    monitor::Control ProgBar1{.visible = false};
    int progress = 0; // 0..10

    template <typename F> void forEachControl(F&& f) {
        f("frmEditGT", frmEditGT);
        for (std::size_t k = 0; k < Text2.size(); ++k)
            f("Text2_" + std::to_string(k), Text2[k]);
        f("cmdSave", cmdSave);
        f("cmdCancel", cmdCancel);
        f("ProgBar1", ProgBar1);
    }
};

// "&Edit Gas Info".
class EditGasTable {
public:
    EditGasTable(ServiceLink& link, ServiceDialogs& dialogs);

    FrmEditGT model;

    void run();
    void Form_Load();
    void Text2_Change(int box, const std::string& text);
    void cmdSave_Click();
    // Cancel and every other close; refused while saving.
    void cmdCancel_Click();
    void Form_QueryUnload() { cmdCancel_Click(); }

    bool closed() const { return closed_; }
    static int variable(int box) { return box == 0 ? 1 : 99 + box; }

private:
    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    bool busyOp_ = false;
    bool saving_ = false;
    bool cancelRequested_ = false;
    bool closed_ = false;
};

inline constexpr const char* kCalibrationTerminated =
    "Communication Error! Gas Table Calibration is terminated!";
inline constexpr const char* kEepromNotUpdated = "Communication Error! EEPROM is not Updated!";
inline constexpr const char* kCountsRangeText = "The counts must be a number from 120 to 4095.";
inline constexpr const char* kFlowRangeText = "The flow must be a number above 0.";
inline constexpr const char* kGasTableSaved = "Gas Table has been Saved. Click OK.";
inline constexpr const char* kGasTableSaveTerminated =
    "Communication Error! Gas Table Saving is terminated!";
inline constexpr const char* kGasTableIncompleteText =
    "Some variables were not read. The table cannot be saved; close it and try again.";

} // namespace kvt::service
