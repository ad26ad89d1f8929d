#include "service/ZeroAdjust.h"

#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "service/ServiceText.h"
#include "service/SpanSetting.h"

#include <cmath>

namespace kvt::service {

namespace cmd = link::cmd;
namespace token = link::token;

namespace {

constexpr int kEnter = 13;
constexpr int kBackspace = 8;

} // namespace

std::string numbersOnlyText(int key) {
    return "You can use only numerical characters [0-9]!\r ASCII(" + std::to_string(key) + ")   " +
           " Try again!";
}

ZeroAdjust::ZeroAdjust(ServiceLink& link, ServiceDialogs& dialogs)
    : link_(link), dialogs_(dialogs), timer1_(link.terminal().runtime().createTimer(1500)) {
    timer1_->setOnTick([this] { Timer1_Timer(); });
    link_.terminal().registerMenu("mnuToolsZeroAdj", [this] { run(); });
}

void ZeroAdjust::run() {
    if (link_.busy() || !link_.confirm(kZeroWarning))
        return;
    if (!link_.canStart() || !link_.openPort())
        return;
    ServiceLink::Session session(link_);
    model = {};
    stop_ = saveAsked_ = polling_ = writing_ = finishing_ = false;
    pendingZero_.reset();
    closed_ = false;
    Form_Load();
    if (!closed_)
        dialogs_.showZeroMan(*this);
    timer1_->stop();
}

void ZeroAdjust::Form_Load() {
    auto reply = link_.exchange(cmd::BackDoorOpen);
    if (!reply) {
        closed_ = true;
        return;
    }
    if (*reply == token::BackDoorEnabled) {
        auto valve = link_.exchange(cmd::ValveClosedUpper);
        if (!valve) {
            closed_ = true;
            return;
        }
        if (*valve != token::ValveClosed)
            link_.failure(kValveHeadline, kSpacedBracket, *valve);
        auto zero = link_.exchange(cmd::converterRead("4"));
        if (!zero) {
            closed_ = true;
            return;
        }
        std::string text = charsFrom(*zero, 9);
        double v = link::leadingNumber(text);
        // Only a value the bar can show is taken; the bar moves without writing.
        if (!text.empty() && v >= 0 && v < 4096) {
            int counts = static_cast<int>(std::lround(v));
            model.Text1.caption = std::to_string(counts);
            model.VScroll1.value = counts;
        }
    }
    model.changed();
    timer1_->start();
}

void ZeroAdjust::Timer1_Timer() {
    timer1_->stop();
    if (stop_ || closed_)
        return;
    auto& clock = link_.terminal().runtime().clock();
    polling_ = true;
    int timeouts = 0;
    double last = clock.monotonic();
    while (!stop_) {
        double left = last + kPollSeconds - clock.monotonic();
        if (left > 0 && !link_.pause(left, [this] { return stop_; }))
            break;
        if (stop_)
            break;
        last = clock.monotonic();
        auto reply = link_.exchange(cmd::converterReadLower("2"),
                                    {.showReply = true, .reportNoReply = false});
        if (!reply)
            break;
        if (reply->empty()) {
            if (++timeouts >= kMaxTimeouts) {
                link_.inform(kZeroSilentText);
                break;
            }
            continue;
        }
        timeouts = 0;
        if (reply->rfind("SensorAvg:", 0) == 0) {
            model.Label1.caption = charsFrom(*reply, 12);
            model.changed();
        }
    }
    polling_ = false;
    if (stop_)
        finish();
}

void ZeroAdjust::VScroll1_Change(int value) {
    if (closed_ || finishing_)
        return;
    value = std::clamp(value, model.VScroll1.min, model.VScroll1.max);
    model.VScroll1.value = value;
    model.Text1.caption = std::to_string(value);
    model.changed();
    writeZero(value);
}

void ZeroAdjust::writeZero(int value) {
    if (writing_) {
        pendingZero_ = value; // the latest move goes out after the reply
        return;
    }
    writing_ = true;
    pendingZero_ = value;
    while (pendingZero_ && !closed_) {
        int v = *pendingZero_;
        pendingZero_.reset();
        if (!link_.exchange(cmd::dacWriteUpper("0", std::to_string(v))))
            break;
    }
    pendingZero_.reset();
    writing_ = false;
}

void ZeroAdjust::Text1_Change(const std::string& text) {
    model.Text1.caption = text;
}

bool ZeroAdjust::Text1_KeyPress(int key) {
    if ((key >= '0' && key <= '9') || key == kBackspace)
        return true;
    if (key != kEnter) {
        link_.inform(numbersOnlyText(key));
        return false;
    }
    if (closed_ || finishing_ || writing_)
        return false;
    auto value = digitsInRange(model.Text1.caption, model.VScroll1.min, model.VScroll1.max);
    if (!value) {
        link_.inform(kZeroRangeText);
        return false;
    }
    if (!link_.exchange(cmd::dacWrite("0", std::to_string(*value))))
        return false;
    // The bar follows, and its move sends once more, as the operator expects from this box.
    if (*value != model.VScroll1.value)
        VScroll1_Change(*value);
    return false;
}

void ZeroAdjust::cmdSave_Click() {
    saveAsked_ = true;
    cmdExit_Click();
}

void ZeroAdjust::cmdExit_Click() {
    if (closed_ || finishing_)
        return;
    stop_ = true;
    timer1_->stop();
    // A running poll finishes once its wait has returned.
    if (!polling_)
        finish();
}

void ZeroAdjust::finish() {
    if (finishing_ || closed_)
        return;
    finishing_ = true;
    model.cmdSave.enabled = model.cmdExit.enabled = model.VScroll1.enabled = false;
    model.changed();
    if (saveAsked_)
        link_.exchange(cmd::AutoZeroStore);
    link_.pause(2.0);
    restoreValve();
    closed_ = true;
    model.frmZeroMan.visible = false;
    model.changed();
}

bool ZeroAdjust::restoreValve() {
    auto& t = link_.terminal();
    int mode =
        t.table.holdsDevice(t.currentDevice()) ? t.table.record(t.currentDevice()).ValveMode : 2;
    std::string_view body = mode == 0   ? cmd::ValveClosedUpper
                            : mode == 1 ? cmd::ValveAutoUpper
                                        : cmd::ValveOpenUpper;
    std::string_view expected = mode == 0   ? token::ValveClosed
                                : mode == 1 ? token::ValveAuto
                                            : token::ValveOpen;
    auto reply = link_.exchange(body);
    if (reply && *reply != expected)
        link_.failure(kValveHeadline, kSpacedBracket, *reply);
    return reply && *reply == expected;
}

} // namespace kvt::service
