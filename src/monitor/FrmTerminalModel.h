#pragma once

#include "monitor/Controls.h"

#include <map>
#include <string>

namespace kvt::monitor {

// The main window's controls that the port and the transaction engine drive.
struct FrmTerminalModel : Observable {
    Control fraSendR{.caption = "Commands:"};
    Control lblTr;
    Control lblRs;
    Control imgConnected{.toolTip = "Toggles Port", .visible = false};
    Control imgNotConnected{.toolTip = "Toggles Port"};
    Control mnuOpen{.caption = "Port &Open"};
    // Toolbar tbToolBar, by button key.
    std::map<std::string, Control> toolbar{
        {"TransmitTextFile", Control{.enabled = false}},
        {"DialPhoneNumber", Control{}},
        {"HangUpPhone", Control{.enabled = false}},
    };
    // Status bar sbrStatus, by panel key.
    std::map<std::string, Panel> sbrStatus{
        {"Status", {"Status: ", "Communications Port Status"}},
        {"Settings", {"Settings: ", "Communications Port Settings"}},
        {"ConnectTime", {"", "Connect Time"}},
    };

    // Every named control, for binding and for checking that each has its widget.
    template <typename F> void forEachControl(F&& f) {
        f("fraSendR", fraSendR);
        f("lblTr", lblTr);
        f("lblRs", lblRs);
        f("imgConnected", imgConnected);
        f("imgNotConnected", imgNotConnected);
        f("mnuOpen", mnuOpen);
    }
};

} // namespace kvt::monitor
