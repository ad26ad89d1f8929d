#include "monitor/FrmTerminalModel.h"

#include "monitor/TerminalMenus.h"

#include <cstring>

namespace kvt::monitor {

FrmTerminalModel::FrmTerminalModel() {
    for (const auto& node : terminalMenuTree())
        menus[node.name] = Control{
            .caption = node.caption, .enabled = node.enabledAtStart, .shortcut = node.shortcut};
    for (const auto& button : terminalToolbar())
        toolbar[button.key] = Control{.toolTip = button.toolTip};
    // The port is closed at start.
    toolbar["TransmitTextFile"].enabled = false;
    toolbar["HangUpPhone"].enabled = false;
    toolbar["RStop"].enabled = false;

    sbrStatus = {
        {"Status", {"Status: ", "Communications Port Status"}},
        {"Settings", {"Settings: ", "Communications Port Settings"}},
        {"ConnectTime", {"", "Connect Time"}},
    };
    sbrStatus1 = {
        {"Interface", {"Interface: ", "Type of Communication Interface"}},
        {"Comport", {"COM Port: ", "Current Number of Communication Port"}},
        {"Device", {"Device: ", "Number of the Current Device"}},
        {"Address", {"Address: ", "Address for Current Device"}},
        {"FSF", {"FSF: ", "Full Scale Flow Range in L/Min"}},
        {"Total", {"Total in System: ", "Total in the System"}},
    };
    for (auto& panel : fraMD8)
        panel.hsc.largeChange = 1;
    for (const auto& label : kInfoLabels)
        info[label.name] = Control{.caption = label.prefix};
}

const char* infoPrefix(const std::string& label) {
    for (const auto& l : kInfoLabels)
        if (label == l.name)
            return l.prefix;
    throw std::out_of_range("no information label " + label);
}

} // namespace kvt::monitor
