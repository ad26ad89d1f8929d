#pragma once

#include "monitor/Controls.h"
#include "service/ServiceLink.h"

namespace kvt::service {

// The topmost window that follows the device's own zeroing.
struct FrmAutoZeroIP : monitor::Observable {
    monitor::Control frmAutoZeroIP{.caption = "System Monitor", .visible = false};
    monitor::Control Label1;
    monitor::Control CmdOK{.caption = "OK", .visible = false};
    monitor::Control cmdCancel{.caption = "Cancel", .visible = false};

    template <typename F> void forEachControl(F&& f) {
        f("frmAutoZeroIP", frmAutoZeroIP);
        f("Label1", Label1);
        f("CmdOK", CmdOK);
        f("cmdCancel", cmdCancel);
    }
};

// "Do Now" under the Device menu's "Auto Zero": starts the device's zeroing and polls its status
// until it reports the end.
class AutoZero {
public:
    AutoZero(ServiceLink& link, FrmAutoZeroIP& window);

    void run();

    // What the window forwards.
    void CmdOK_Click();
    void cmdCancel_Click();
    // Title bar, Esc, Alt+F4: Cancel while zeroing runs, OK afterwards.
    void Form_QueryUnload();

    bool running() const { return running_; }
    static constexpr double kPollSeconds = 2.0;
    static constexpr int kMaxTimeouts = 3;

private:
    ServiceLink& link_;
    FrmAutoZeroIP& w_;
    bool running_ = false;
    bool cancelled_ = false;
};

inline constexpr const char* kAutoZeroWarning =
    "WARNING: This will re-zero sensor! Make sure\rValve is Closed and gas is disconnected!\r  Do "
    "you want to perform Zero process?   ";
inline constexpr const char* kAutoZeroDone = "Auto Zero is Done!    Click [ OK ] Button.";
inline constexpr const char* kAutoZeroSilentText =
    "No reply to three zero status requests in a row. Watching the zeroing is stopped.\rCheck "
    "connection and try again!";

} // namespace kvt::service
