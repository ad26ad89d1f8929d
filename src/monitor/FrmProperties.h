#pragma once

#include "monitor/Controls.h"

#include <array>
#include <string>
#include <vector>

namespace kvt::monitor {

class FrmTerminal;

// A combo box the operator can also type into; the typed text is what counts.
struct EditableList : ListControl {
    std::string editText{};
};

// A tab strip: tab captions and the selected tab (0-based).
struct TabStrip {
    std::vector<std::string> tabs{};
    int selected = 0;
};

// The named controls of the communication properties dialog.
struct FrmPropertiesModel : Observable {
    Control frmProperties{.caption = "CommPort Properties"};
    TabStrip tabSettings{.tabs = {"Properties", "Timing"}};
    // One frame per tab; only the selected tab's frame is visible.
    std::array<Control, 2> fraSettings{Control{}, Control{.visible = false}};

    // "Properties" tab.
    Control lblPort{.caption = "Port:"};
    ListControl cboPort;
    // Read-only: the device path or server address the chosen port is mapped to.
    Control txtPortAddress;
    Control lblInterface{.caption = "Interface:"};
    ListControl cboInterface;
    Control fraSpeed{.caption = "Maximum Speed"};
    EditableList cboSpeed;
    Control fraConnection{.caption = "Connection Preferences"};
    Control lblDataBits{.caption = "Data Bits:"};
    EditableList cboDataBits;
    Control lblParity{.caption = "Parity:"};
    ListControl cboParity;
    Control lblStopBits{.caption = "Stop Bits:"};
    EditableList cboStopBits;
    Control fraEcho{.caption = "&Echo"};
    std::array<Control, 2> optEcho{Control{.caption = "Off"}, Control{.caption = "On"}};
    Control fraFlow{.caption = "&Flow Control"};
    std::array<Control, 4> optFlow{Control{.caption = "None"}, Control{.caption = "Xon/Xoff"},
                                   Control{.caption = "RTS"}, Control{.caption = "Xon/RTS"}};

    // "Timing" tab.
    Control fraSingle{.caption = "Single Device Operation"};
    Control lblTSs{.caption = "Sampling interval:"};
    ListControl cboTSs;
    Control lblTSsUnit{.caption = "mS"};
    Control lblTSr{.caption = "Log Recording interval:"};
    ListControl cboTSr;
    Control lblTSrUnit{.caption = "mS"};
    Control fraMultiple{.caption = "Multiple Device Operation"};
    Control lblTMs{.caption = "Sampling interval:"};
    ListControl cboTMs;
    Control lblTMsUnit{.caption = "mS"};
    Control lblTMr{.caption = "Log Recording interval:"};
    ListControl cboTMr;
    Control lblTMrUnit{.caption = "mS"};

    Control cmdOK{.caption = "OK"};
    Control cmdCancel{.caption = "Cancel"};

    // Every plain control with its name (option buttons as "optEcho_0", frames as "fraSettings_0").
    template <typename F> void forEachControl(F&& f) {
        f("frmProperties", frmProperties);
        for (std::size_t i = 0; i < fraSettings.size(); ++i)
            f("fraSettings_" + std::to_string(i), fraSettings[i]);
        f("lblPort", lblPort);
        f("txtPortAddress", txtPortAddress);
        f("lblInterface", lblInterface);
        f("fraSpeed", fraSpeed);
        f("fraConnection", fraConnection);
        f("lblDataBits", lblDataBits);
        f("lblParity", lblParity);
        f("lblStopBits", lblStopBits);
        f("fraEcho", fraEcho);
        for (std::size_t i = 0; i < optEcho.size(); ++i)
            f("optEcho_" + std::to_string(i), optEcho[i]);
        f("fraFlow", fraFlow);
        for (std::size_t i = 0; i < optFlow.size(); ++i)
            f("optFlow_" + std::to_string(i), optFlow[i]);
        f("fraSingle", fraSingle);
        f("lblTSs", lblTSs);
        f("lblTSsUnit", lblTSsUnit);
        f("lblTSr", lblTSr);
        f("lblTSrUnit", lblTSrUnit);
        f("fraMultiple", fraMultiple);
        f("lblTMs", lblTMs);
        f("lblTMsUnit", lblTMsUnit);
        f("lblTMr", lblTMr);
        f("lblTMrUnit", lblTMrUnit);
        f("cmdOK", cmdOK);
        f("cmdCancel", cmdCancel);
    }
    // Every list with its name; `editable` is null for lists chosen by position only.
    template <typename F> void forEachList(F&& f) {
        f("cboPort", cboPort, static_cast<EditableList*>(nullptr));
        f("cboInterface", cboInterface, static_cast<EditableList*>(nullptr));
        f("cboSpeed", static_cast<ListControl&>(cboSpeed), &cboSpeed);
        f("cboDataBits", static_cast<ListControl&>(cboDataBits), &cboDataBits);
        f("cboParity", cboParity, static_cast<EditableList*>(nullptr));
        f("cboStopBits", static_cast<ListControl&>(cboStopBits), &cboStopBits);
        f("cboTSs", cboTSs, static_cast<EditableList*>(nullptr));
        f("cboTSr", cboTSr, static_cast<EditableList*>(nullptr));
        f("cboTMs", cboTMs, static_cast<EditableList*>(nullptr));
        f("cboTMr", cboTMr, static_cast<EditableList*>(nullptr));
    }
};

// The communication properties dialog's logic ("CommPort Properties").
class FrmProperties {
public:
    explicit FrmProperties(FrmTerminal& terminal);
    // Fills the lists and loads the current settings (runs the selection handlers).
    void Form_Load();
    bool closed() const { return closed_; }

    FrmPropertiesModel model;

    // What the widget layer forwards. Indices are 0-based list positions; out-of-range ones are
    // ignored.
    void tabSettings_Click(int tab);
    void cboPort_Click(int listIndex);
    void cboInterface_Click(int listIndex);
    void cboSpeed_Click(int listIndex);
    void cboSpeed_Change(const std::string& text);
    void cboDataBits_Click(int listIndex);
    void cboDataBits_Change(const std::string& text);
    void cboParity_Click(int listIndex);
    void cboStopBits_Click(int listIndex);
    void cboStopBits_Change(const std::string& text);
    void cboTSs_Click(int listIndex);
    void cboTSr_Click(int listIndex);
    void cboTMs_Click(int listIndex);
    void cboTMr_Click(int listIndex);
    void optEcho_Click(int index);
    void optFlow_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();

    // The choices held until OK.
    bool pendingEcho() const { return echo_; }
    int pendingFlow() const { return flow_; }

private:
    void loadSettingsText(const std::string& s);
    // Shows a port error; false when there was one.
    bool portOk(const std::string& error);
    void showPortState();

    FrmTerminal& t_;
    bool closed_ = false;
    bool echo_ = false;
    int flow_ = 0;
};

} // namespace kvt::monitor
