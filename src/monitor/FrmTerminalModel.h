#pragma once

#include "monitor/Controls.h"

#include <array>
#include <map>
#include <stdexcept>
#include <string>

namespace kvt::monitor {

// One device's panel of the multi-unit page (fraMD / fraMD8 and their labels, box and slider).
struct MultiPanel {
    Control fra{.visible = false};
    Control lblNum;
    Control lblName;
    Control lblRe;
    Control lblEU;
    Control txtSP{.caption = "0.00"};
    ScrollControl hsc;
};

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

    // Single-unit panel.
    Control fraSD{.visible = false};
    Control lblDNumber;
    Control lblDName;
    Control lblRead;
    Control lblEU;
    Control txtSetP{.caption = "0.00"};
    ScrollControl hscSetP;
    ListControl cboValveS;
    Control fraTS{.caption = "Totalizer"};
    Control lblTO;
    Control cmdTReset{.caption = "RESET"};
    Control cmdTcontr{.caption = "ON / OFF"};
    Control fraDSA{.caption = "Alarm"};
    Control lblAH;
    Control Label6;
    Control cmdAContr{.caption = "ON / OFF"};

    // Device information frame and its labels (lblDescrp, lblAddr, ...), by name.
    Control FrmInfo{.visible = false};
    std::map<std::string, Control> info;

    // Multi-unit pages: four panels (large step 10) or eight (large step 1), and the page buttons.
    Control fraMulti{.caption = "Auto Multi Mode", .visible = false};
    Control fraMulti8{.caption = "Auto Multi Mode", .visible = false};
    std::array<MultiPanel, 4> fraMD{};
    std::array<MultiPanel, 8> fraMD8{};
    Control cmdLeftSh{.caption = "<<", .visible = false};
    Control cmdRightSh{.caption = ">>", .visible = false};

    // Areas of later features, present and hidden.
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
        f("lblDNumber", lblDNumber);
        f("lblDName", lblDName);
        f("lblRead", lblRead);
        f("lblEU", lblEU);
        f("txtSetP", txtSetP);
        f("fraTS", fraTS);
        f("lblTO", lblTO);
        f("cmdTReset", cmdTReset);
        f("cmdTcontr", cmdTcontr);
        f("fraDSA", fraDSA);
        f("lblAH", lblAH);
        f("Label6", Label6);
        f("cmdAContr", cmdAContr);
        f("cmdLeftSh", cmdLeftSh);
        f("cmdRightSh", cmdRightSh);
        f("FrmInfo", FrmInfo);
        f("fraMulti", fraMulti);
        f("fraMulti8", fraMulti8);
        f("fraProg", fraProg);
        f("txtTerm", txtTerm);
        auto panels = [&f](auto& set, const char* fra, const char* num, const char* name,
                           const char* re, const char* eu, const char* sp) {
            for (std::size_t k = 0; k < set.size(); ++k) {
                auto at = [k](const char* n) {
                    return std::string(n) + "(" + std::to_string(k) + ")";
                };
                f(at(fra), set[k].fra);
                f(at(num), set[k].lblNum);
                f(at(name), set[k].lblName);
                f(at(re), set[k].lblRe);
                f(at(eu), set[k].lblEU);
                f(at(sp), set[k].txtSP);
            }
        };
        panels(fraMD, "fraMD", "lblMDNum", "lblMDName", "lblMDRe", "lblMDEU", "txtMDSP");
        panels(fraMD8, "fraMD8", "lblMD8Num", "lblMD8Name", "lblMD8RE", "lblMD8EU", "txtMDSP8");
        for (auto& [name, c] : info)
            f(name, c);
        for (auto& [name, c] : menus)
            f(name, c);
    }

    // Every scroll bar with its name: hscSetP, hscMD(k), HScMD8(k).
    template <typename F> void forEachScroll(F&& f) {
        f("hscSetP", hscSetP);
        for (std::size_t k = 0; k < fraMD.size(); ++k)
            f("hscMD(" + std::to_string(k) + ")", fraMD[k].hsc);
        for (std::size_t k = 0; k < fraMD8.size(); ++k)
            f("HScMD8(" + std::to_string(k) + ")", fraMD8[k].hsc);
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
