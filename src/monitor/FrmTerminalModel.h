#pragma once

#include "monitor/Controls.h"

#include <map>
#include <stdexcept>
#include <string>

namespace kvt::monitor {

// The main window's named controls as its logic sees them. The widget layer builds one widget per
// control, named like it, and follows changed().
struct FrmTerminalModel : Observable {
    FrmTerminalModel();

    Control frmTerminal{.caption = "KVT Control Terminal"};

    // Communications monitor.
    Control fraSendR{.caption = "Commands:", .visible = false};
    Control lblTr;
    Control lblRs;
    // Connection icons in Frame1; the visible one is the one in front.
    Control Frame1;
    Control imgConnected{.toolTip = "Toggles Port", .visible = false};
    Control imgNotConnected{.toolTip = "Toggles Port"};

    // Current device.
    Control fraCD{.caption = "Current device:"};
    ListControl cboCurUnit;

    // Single-unit panel (its monitoring comes later); the valve selector and unit label are used
    // now.
    Control fraSD{.visible = false};
    Control lblEU;
    ListControl cboValveS;

    // Device information frame and its labels (lblDescrp, lblAddr, ...), by name.
    Control FrmInfo{.visible = false};
    std::map<std::string, Control> info;

    // Areas of later features, present and hidden.
    Control fraMulti{.visible = false};
    Control fraMulti8{.visible = false};
    Control fraProg{.visible = false};
    Control txtTerm{.visible = false};

    // Menu items by control name (see terminalMenuTree()), toolbar buttons by key, status panels by
    // key.
    std::map<std::string, Control> menus;
    std::map<std::string, Control> toolbar;
    std::map<std::string, Panel> sbrStatus;
    std::map<std::string, Panel> sbrStatus1;

    // The loader's progress window.
    Control frmProgressBar{.caption = "Loading Device Info. Standby...", .visible = false};
    int progressValue = 1;
    static constexpr int kProgressMax = 21;

    Control& menu(const std::string& name) {
        auto it = menus.find(name);
        if (it == menus.end())
            throw std::out_of_range("no menu item " + name);
        return it->second;
    }

    // Every named control with its name, for binding and for checking that each has its widget.
    template <typename F> void forEachControl(F&& f) {
        f("frmTerminal", frmTerminal);
        f("fraSendR", fraSendR);
        f("lblTr", lblTr);
        f("lblRs", lblRs);
        f("Frame1", Frame1);
        f("imgConnected", imgConnected);
        f("imgNotConnected", imgNotConnected);
        f("fraCD", fraCD);
        f("fraSD", fraSD);
        f("lblEU", lblEU);
        f("FrmInfo", FrmInfo);
        f("fraMulti", fraMulti);
        f("fraMulti8", fraMulti8);
        f("fraProg", fraProg);
        f("txtTerm", txtTerm);
        for (auto& [name, c] : info)
            f(name, c);
        for (auto& [name, c] : menus)
            f(name, c);
    }
};

// Prefixes of the device information labels, in display order.
struct InfoLabel {
    const char* name;
    const char* prefix;
};
inline constexpr InfoLabel kInfoLabels[] = {
    {"lblDescrp", "Description          :   "},     {"lblAddr", "Address (Hex)      :   "},
    {"lblGas", "Gas Table (1-10)  :   "},           {"lblEngUnit", "Engineering Unit  :   "},
    {"lblFullScale", "Full Scale Range :   "},      {"lblMode", "Input Mode          :   "},
    {"lblValveMode", "Valve Mode         :   "},    {"lblAutoZero", "Auto Zero            :   "},
    {"lblTotalizerMode", "Totalizer Mode    :   "}, {"lblTotStart", "    Start Flow (%)  :   "},
    {"lblTotStop", "    Stop Volume    :   "},      {"lblAlarmMode", "Alarm Mode         :   "},
    {"lblAlarmHigh", "    High (%F.S.)    :   "},   {"lblAlarmLow", "    Low (% F.S.)    :   "},
    {"lblAlarmUpdate", "    Update Rate   :   "},   {"lblRelay1", "Relay #1 Status  :   "},
    {"lblRelay2", "Relay #2 Status  :   "},         {"lblKfactor", "K Factor (N2)      :   "},
    {"lblCommStatus", "Communication   :   "},
};
const char* infoPrefix(const std::string& label);

} // namespace kvt::monitor
