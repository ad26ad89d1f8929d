#pragma once

#include "config/DeviceTable.h"
#include "monitor/Controls.h"
#include "monitor/FrmProperties.h"

#include <array>
#include <string>

namespace kvt::monitor {

class FrmTerminal;

// The named controls of the device properties dialog. Text boxes keep their text in `caption`.
struct FrmDPropModel : Observable {
    Control frmDProp{.caption = "Device Properties"};

    Control lblNumU{.caption = "Device:"};
    ListControl cboNumU;
    Control lblDevNumCaption{.caption = "Device Number:"};
    Control lblDevNum;
    Control lblTotalUCaption{.caption = "Total in the System:"};
    Control lblTotalU;
    Control cmdAdd{.caption = "Add"};
    Control cmdRemuve{.caption = "Remove"};
    Control cmdOK{.caption = "OK"};
    Control cmdCancel{.caption = "Cancel"};

    TabStrip tabSettings{
        .tabs = {"General...", "Totalizer...", "Alarm...", "Relays...", "K Factors..."}};
    std::array<Control, 5> fraSettings{Control{}, Control{.visible = false},
                                       Control{.visible = false}, Control{.visible = false},
                                       Control{.visible = false}};

    // General.
    Control lblName{.caption = "Name:"};
    Control txtName;
    Control lblAddress{.caption = "Address:"};
    Control txtAddress{.toolTip = "Must be two hexadecimal characters"};
    Control lblMFR{.caption = "Set Point:"};
    Control txtMFR;
    Control lblEUsp;
    Control fraValveMode{.caption = "&Valve Mode"};
    ListControl cboValveMode;
    Control fraGasTable{.caption = "&Gas Table"};
    ListControl cboGasTable;
    Control fraEUnit{.caption = "&Engineering Units"};
    ListControl cboEUnit;
    Control fraDevStatus{.caption = "&Device Status"};
    std::array<Control, 2> optCRC{Control{.caption = "Enabled"}, Control{.caption = "Disabled"}};
    Control fraInputMode{.caption = "&Input Mode"};
    std::array<Control, 2> optAInt{Control{.caption = "Digital"}, Control{.caption = "Analog"}};

    // Totalizer.
    Control fraTotalizer{.caption = "Totalizer"};
    std::array<Control, 2> optEnable{Control{.caption = "Disabled"}, Control{.caption = "Enabled"}};
    Control lblTStart{.caption = "Start at flow:"};
    Control txtTStart;
    Control lblTStartUnit{.caption = "%FS"};
    Control lblTStop{.caption = "Stop at total:"};
    Control txtTStop;
    Control lblStopTotalEU;
    Control fraTAction{.caption = "Totalizer Action"};
    ListControl cboTAction;
    Control fraTReading{.caption = "Totalizer Reading"};
    Control lblTotal;
    Control cmdTSetZero{.caption = "Set to Zero"};

    // Alarm.
    Control fraAlarm{.caption = "Alarm"};
    std::array<Control, 2> optAEnable{Control{.caption = "Disabled"},
                                      Control{.caption = "Enabled"}};
    Control lblAHigh{.caption = "High Deviation"};
    Control txtAHigh;
    Control lblALow{.caption = "Low Deviation"};
    Control txtALow;
    Control fraAURate{.caption = "Alarm Update Rate"};
    Control txtAURate{.enabled = false};
    Control lblAURateUnit{.caption = "Sec."};

    // Relays.
    Control fraRelay1{.caption = "Relay #1 Assignment"};
    ListControl cboRelay1Ass;
    Control fraRelay2{.caption = "Relay #2 Assignment"};
    ListControl cboRelay2Ass;

    // K Factors.
    Control fraKfactor{.caption = "K Factor Source"};
    std::array<Control, 3> optKfactor{Control{.caption = "Disable (K=1)"},
                                      Control{.caption = "Internal Index [0-256]"},
                                      Control{.caption = "User Defined"}};
    Control txtInternalKF;
    Control txtUserKF;
    Control lblUserEUfactor{.caption = "User Specified E.U. conversion factor from SLPM:"};
    Control txtUserEUfactor;

    // The control that should take the keyboard focus ("" for none); the widget layer clears it.
    std::string focus;

    // Every plain control with its name (option buttons as "optCRC_0", frames as "fraSettings_0").
    template <typename F> void forEachControl(F&& f) {
        auto array = [&f](const std::string& name, auto& controls) {
            for (std::size_t i = 0; i < controls.size(); ++i)
                f(name + "_" + std::to_string(i), controls[i]);
        };
        f("frmDProp", frmDProp);
        f("lblNumU", lblNumU);
        f("lblDevNumCaption", lblDevNumCaption);
        f("lblDevNum", lblDevNum);
        f("lblTotalUCaption", lblTotalUCaption);
        f("lblTotalU", lblTotalU);
        f("cmdAdd", cmdAdd);
        f("cmdRemuve", cmdRemuve);
        f("cmdOK", cmdOK);
        f("cmdCancel", cmdCancel);
        array("fraSettings", fraSettings);
        f("lblName", lblName);
        f("txtName", txtName);
        f("lblAddress", lblAddress);
        f("txtAddress", txtAddress);
        f("lblMFR", lblMFR);
        f("txtMFR", txtMFR);
        f("lblEUsp", lblEUsp);
        f("fraValveMode", fraValveMode);
        f("fraGasTable", fraGasTable);
        f("fraEUnit", fraEUnit);
        f("fraDevStatus", fraDevStatus);
        array("optCRC", optCRC);
        f("fraInputMode", fraInputMode);
        array("optAInt", optAInt);
        f("fraTotalizer", fraTotalizer);
        array("optEnable", optEnable);
        f("lblTStart", lblTStart);
        f("txtTStart", txtTStart);
        f("lblTStartUnit", lblTStartUnit);
        f("lblTStop", lblTStop);
        f("txtTStop", txtTStop);
        f("lblStopTotalEU", lblStopTotalEU);
        f("fraTAction", fraTAction);
        f("fraTReading", fraTReading);
        f("lblTotal", lblTotal);
        f("cmdTSetZero", cmdTSetZero);
        f("fraAlarm", fraAlarm);
        array("optAEnable", optAEnable);
        f("lblAHigh", lblAHigh);
        f("txtAHigh", txtAHigh);
        f("lblALow", lblALow);
        f("txtALow", txtALow);
        f("fraAURate", fraAURate);
        f("txtAURate", txtAURate);
        f("lblAURateUnit", lblAURateUnit);
        f("fraRelay1", fraRelay1);
        f("fraRelay2", fraRelay2);
        f("fraKfactor", fraKfactor);
        array("optKfactor", optKfactor);
        f("txtInternalKF", txtInternalKF);
        f("txtUserKF", txtUserKF);
        f("lblUserEUfactor", lblUserEUfactor);
        f("txtUserEUfactor", txtUserEUfactor);
    }
    template <typename F> void forEachList(F&& f) {
        f("cboNumU", cboNumU);
        f("cboValveMode", cboValveMode);
        f("cboGasTable", cboGasTable);
        f("cboEUnit", cboEUnit);
        f("cboTAction", cboTAction);
        f("cboRelay1Ass", cboRelay1Ass);
        f("cboRelay2Ass", cboRelay2Ass);
    }
};

// The device properties dialog's logic: edits the main window's device table in place, marks the
// devices whose device-held settings changed, and on OK saves setup.dat and starts the loader that
// sends those settings.
class FrmDProp {
public:
    explicit FrmDProp(FrmTerminal& terminal);
    void Form_Load();
    bool closed() const { return closed_; }
    int selectedSlot() const { return selected_; }

    FrmDPropModel model;

    // What the widget layer forwards. List and button indices are 0-based; out-of-range ones are
    // ignored. Text handlers take the box's whole new text.
    void tabSettings_Click(int tab);
    void cboNumU_Click(int listIndex);
    void txtName_Change(const std::string& text);
    void txtAddress_Change(const std::string& text);
    void txtMFR_Change(const std::string& text);
    void cboValveMode_Click(int listIndex);
    void cboGasTable_Click(int listIndex);
    void cboEUnit_Click(int listIndex);
    void optCRC_Click(int index);
    void optAInt_Click(int index);
    void optEnable_Click(int index);
    void txtTStart_Change(const std::string& text);
    void txtTStop_Change(const std::string& text);
    void cboTAction_Click(int listIndex);
    void cmdTSetZero_Click();
    void optAEnable_Click(int index);
    void txtAHigh_Change(const std::string& text);
    void txtALow_Change(const std::string& text);
    void cboRelay1Ass_Click(int listIndex);
    void cboRelay2Ass_Click(int listIndex);
    void optKfactor_Click(int index);
    void txtInternalKF_Change(const std::string& text);
    void txtUserKF_Change(const std::string& text);
    void txtUserEUfactor_Change(const std::string& text);
    void cmdAdd_Click();
    void cmdRemuve_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    config::DeviceRecord& rec();
    void message(const std::string& text, bool exclamation = false);
    void fillDeviceList();
    void selectSlot(int slot);
    void loadControls();
    void showCount();
    bool addressTaken(const std::string& address, int except) const;
    bool numberTaken(const std::string& number) const;
    // Stores a list position or option index into a field; marks the slot edited on a change.
    template <typename T> void store(T& field, long long value, bool marksEdited = true);
    // Reads a typed number into a float field; a value setup.dat cannot hold is refused.
    void storeNumber(Control& box, double& field, const std::string& text);
    void removeSlot(int slot);

    FrmTerminal& t_;
    bool closed_ = false;
    bool armed_ = false;
    int selected_ = 0;
    // The table as it was when the dialog opened, for Cancel.
    config::DeviceTable snapshot_;
};

} // namespace kvt::monitor
