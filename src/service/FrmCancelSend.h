#pragma once

#include "monitor/Controls.h"

#include <functional>

namespace kvt::service {

// The small topmost window with one label and "Cancel" that stops a repeated transmission. Every
// way of closing it (the button, the title bar, Esc, Alt+F4) is the same cancel request.
struct FrmCancelSend : monitor::Observable {
    monitor::Control frmCancelSend{.caption = "System Monitor", .visible = false};
    monitor::Control Label1;
    monitor::Control cmdCancel{.caption = "Cancel"};

    // Set by the owner of the repeated transmission.
    std::function<void()> onCancel;

    void cmdCancel_Click() {
        if (onCancel)
            onCancel();
    }
    // The window is never destroyed by a close; its owner hides it when the loop has ended.
    void Form_QueryUnload() { cmdCancel_Click(); }

    template <typename F> void forEachControl(F&& f) {
        f("frmCancelSend", frmCancelSend);
        f("Label1", Label1);
        f("cmdCancel", cmdCancel);
    }
};

} // namespace kvt::service
