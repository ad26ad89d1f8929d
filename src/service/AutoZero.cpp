#include "service/AutoZero.h"

#include "link/Vocabulary.h"

namespace kvt::service {

namespace cmd = link::cmd;

AutoZero::AutoZero(ServiceLink& link, FrmAutoZeroIP& window) : link_(link), w_(window) {
    link_.terminal().registerMenu("mnuDeviceAutoZeroDoNow", [this] { run(); });
}

void AutoZero::run() {
    if (running_ || !link_.canStart())
        return;
    auto& t = link_.terminal();
    auto& engine = t.engine();
    auto restoreFrames = [&] {
        t.model.fraSendR.visible = t.comMonitor;
        t.model.fraCD.visible = true;
        t.model.changed();
    };
    t.model.fraCD.visible = false;
    engine.autoZeroWait = false;
    t.model.changed();
    if (!link_.confirm(kAutoZeroWarning)) {
        restoreFrames();
        return;
    }

    running_ = true;
    cancelled_ = false;
    bool silent = false;
    {
        ServiceLink::Session session(link_);
        t.model.frmTerminal.caption = "KVT Control Terminal - Zeroing Device";
        engine.autoZeroWait = true;
        t.model.changed();
        if (link_.openPort() && link_.exchange(cmd::AutoZeroNow, {.waitReply = false})) {
            w_.Label1.caption = "Auto Zero in process -";
            w_.CmdOK.visible = false;
            w_.cmdCancel.visible = true;
            w_.frmAutoZeroIP.visible = true;
            w_.changed();
            int timeouts = 0;
            double last = t.runtime().clock().monotonic();
            while (engine.autoZeroWait && !cancelled_) {
                double left = last + kPollSeconds - t.runtime().clock().monotonic();
                if (left > 0 && !link_.pause(left, [&] { return cancelled_; }))
                    break;
                if (cancelled_)
                    break;
                last = t.runtime().clock().monotonic();
                auto reply = link_.exchange(cmd::AutoZeroStatus,
                                            {.showReply = true, .reportNoReply = false});
                if (!reply)
                    break;
                if (reply->empty()) {
                    if (++timeouts >= kMaxTimeouts) {
                        silent = true;
                        break;
                    }
                    continue;
                }
                timeouts = 0;
                w_.Label1.caption = "Auto Zero in process - " + *reply;
                w_.changed();
            }
            bool done = !engine.autoZeroWait && !cancelled_ && !silent;
            engine.autoZeroWait = false;
            w_.cmdCancel.visible = false;
            if (done) {
                w_.CmdOK.visible = true;
                w_.Label1.caption = kAutoZeroDone;
            } else {
                w_.frmAutoZeroIP.visible = false;
            }
            w_.changed();
        }
        engine.autoZeroWait = false;
        t.model.frmTerminal.caption = "KVT Control Terminal";
    }
    running_ = false;
    restoreFrames();
    if (silent)
        link_.inform(kAutoZeroSilentText);
}

void AutoZero::CmdOK_Click() {
    w_.frmAutoZeroIP.visible = false;
    w_.changed();
}

void AutoZero::cmdCancel_Click() {
    cancelled_ = true;
}

void AutoZero::Form_QueryUnload() {
    if (running_)
        cmdCancel_Click();
    else
        CmdOK_Click();
}

} // namespace kvt::service
