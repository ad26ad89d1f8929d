#include "service/SpanSetting.h"

#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "service/ServiceText.h"

namespace kvt::service {

namespace cmd = link::cmd;
namespace token = link::token;

namespace {

const char* const kFirstWarning =
    "WARNING: You are going to delete existing Gas Calibration Table!\rGas Calibration Table will "
    "be Reinitialized with new values!\r  Do you want to change Calibration Table?   ";
const char* const kFlowFractions[10] = {"0.1", "0.2", "0.3", "0.4", "0.5",
                                        "0.6", "0.7", "0.8", "0.9", "1.0"};

std::string secondWarning() {
    return "CONFIRMATION: Are You Sure to delete existing Gas Calibration Table?\r" +
           std::string(26, ' ') + "Click [ YES ] to Proceed or [ NO ] to Cancel.";
}

std::string prompt() {
    return "Set Flow to 100% Full Scale. Set Gain Jumpers/RFE to read 2500-3650 counts. Click "
           "[Save] when Done, [Cancel] to Exit.\r\r" +
           std::string(35, ' ');
}

} // namespace

SpanSetting::SpanSetting(ServiceLink& link, FrmSetSpan& window) : link_(link), w_(window) {
    link_.terminal().registerMenu("mnuToolsSetSpan", [this] { run(); });
}

std::array<std::int16_t, 10> SpanSetting::tableFor(int spanCounts) {
    int step = static_cast<int>(link::leadingNumber(formatHalfUp((spanCounts - 120) / 10.0, 0)));
    std::array<std::int16_t, 10> table{};
    table[9] = static_cast<std::int16_t>(spanCounts);
    for (int k = 8; k >= 0; --k)
        table[k] = static_cast<std::int16_t>(table[k + 1] - step);
    return table;
}

void SpanSetting::cmdSave_Click() {
    if (lastReading_.empty() || stop_)
        return; // nothing read yet: there is nothing to save
    spanSaved_ = true;
    stop_ = true;
    link_.terminal().engine().cancelSending = true;
}

void SpanSetting::Command1_Click() {
    stop_ = true;
    link_.terminal().engine().cancelSending = true;
}

void SpanSetting::run() {
    if (link_.busy())
        return;
    if (!link_.confirm(kFirstWarning) || !link_.confirm(secondWarning()))
        return;
    if (!link_.canStart() || !link_.openPort())
        return;
    auto& t = link_.terminal();
    ServiceLink::Session session(link_);
    spanSaved_ = false;
    stop_ = false;
    lastReading_.clear();
    w_.cmdSave.enabled = false;

    auto reply = link_.exchange(cmd::BackDoorOpen);
    if (!reply)
        return;
    if (*reply != token::BackDoorEnabled) {
        link_.failure(kSpanHeadline, kBracket, *reply);
        return;
    }
    reply = link_.exchange(cmd::ValveOpen);
    if (!reply)
        return;
    bool valveOpened = *reply == token::ValveOpen;
    if (valveOpened)
        readUntilDone();
    else
        link_.failure(kSpanHeadline, kBracket, *reply);

    // The valve is closed on every way out once the reading phase was reached.
    stop_ = true;
    t.engine().cancelSending = true;
    w_.frmSetSpan.visible = false;
    w_.changed();
    auto closed = link_.exchange(cmd::ValveClosed, {.showReply = true});
    if (closed && *closed != token::ValveClosed)
        link_.failure(kValveHeadline, kSpacedBracket, *closed);
    if (!spanSaved_ || !closed)
        return;

    std::string text = charsFrom(lastReading_, 13);
    auto counts = toInt16(link::leadingNumber(text));
    if (!counts || *counts < kMinCounts || *counts > kMaxCounts) {
        link_.inform("Reading: [" + text + "] is out of acceptable range!\r" + std::string(7, ' ') +
                     "Span Setting is terminated!");
        return;
    }
    link_.gasTableCounts = tableFor(*counts);
    if (writeTable())
        link_.inform("Span Setting is Successively  Completed!");
}

bool SpanSetting::readUntilDone() {
    auto& t = link_.terminal();
    t.engine().cancelSending = false;
    w_.Label1.caption = prompt();
    w_.frmSetSpan.visible = true;
    w_.changed();
    const std::string body = cmd::converterRead("7");
    while (!stop_) {
        double sentAt = t.runtime().clock().monotonic();
        auto reply = link_.exchange(body, {.showReply = true});
        if (!reply)
            return false;
        if (reply->empty()) {
            // The reading decides the calibration: a missing one ends it at once.
            stop_ = true;
            spanSaved_ = false;
            w_.frmSetSpan.visible = false;
            w_.changed();
            link_.failure(kSpanHeadline, kBracket, *reply);
            return false;
        } else {
            // A Save pressed during this exchange keeps the reading it saw.
            if (!stop_) {
                lastReading_ = *reply;
                w_.Label1.caption = prompt() + *reply;
                w_.cmdSave.enabled = true;
                w_.changed();
            }
        }
        double left = sentAt + 1.0 - t.runtime().clock().monotonic();
        if (!stop_ && left > 0 && !link_.pause(left, [this] { return stop_; }))
            return false;
    }
    return true;
}

bool SpanSetting::writeTable() {
    auto& t = link_.terminal();
    auto& progress = t.model;
    t.engine().cancelSending = false;
    progress.progressValue = 0;
    progress.frmProgressBar.visible = true;
    progress.changed();
    auto hide = [&] {
        t.engine().cancelSending = true;
        progress.frmProgressBar.visible = false;
        progress.changed();
    };
    auto write = [&](int index, const std::string& value) {
        auto reply = link_.exchange(cmd::memoryWrite(std::to_string(index) + "," + value),
                                    {.showReply = true});
        if (!reply)
            return false;
        if (reply->rfind(token::MemoryWrite, 0) != 0) {
            hide();
            link_.failure(kSpanHeadline, kBracket, *reply);
            return false;
        }
        return link_.pause(1.0);
    };
    if (!write(113, "120"))
        return false;
    progress.progressValue = 1;
    progress.changed();
    if (!write(114, "0.0"))
        return false;
    for (int index = 115; index <= 134; ++index) {
        ++progress.progressValue;
        progress.changed();
        int point = (index - 115) / 2;
        std::string value =
            index % 2 == 1 ? std::to_string(link_.gasTableCounts[static_cast<std::size_t>(point)])
                           : kFlowFractions[point];
        if (!write(index, value))
            return false;
    }
    hide();
    return true;
}

} // namespace kvt::service
