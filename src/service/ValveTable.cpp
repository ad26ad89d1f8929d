#include "service/ValveTable.h"

#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "service/CalibrateAD.h"
#include "service/ServiceText.h"

#include <algorithm>

namespace kvt::service {

namespace cmd = link::cmd;
namespace token = link::token;

namespace {

constexpr int kEnter = 13;
constexpr int kBackspace = 8;

const char* const kWarning =
    "WARNING: You are going to change existing Valve Table!\rValve Table will be Reinitialized "
    "with new values!\r  Do you want to change Valve Table?   ";

bool digitOrBackspace(int key) {
    return (key >= '0' && key <= '9') || key == kBackspace;
}

} // namespace

ValveTable::ValveTable(ServiceLink& link, ServiceDialogs& dialogs)
    : link_(link), dialogs_(dialogs) {
    link_.terminal().registerMenu("mnuToolsValveTable", [this] { run(); });
}

ValveTable::Table ValveTable::generate(int fullScaleCounts) {
    int top = link::roundToInt16HalfEven(fullScaleCounts * 1.2);
    int step = top < 2000 ? 100 : (top <= 3000 ? 150 : 200);
    Table t{};
    int entry = top;
    for (int k = 9; k >= 1; --k, entry -= step)
        t[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(std::min(entry, 4095));
    t[0] = 0;
    return t;
}

template <typename F> void ValveTable::operation(F&& f) {
    if (busyOp_ || closed_)
        return;
    busyOp_ = true;
    f();
    busyOp_ = false;
    if (exitRequested_)
        doExit();
}

void ValveTable::run() {
    if (link_.busy() || !link_.confirm(kWarning) || !link_.canStart())
        return;
    ServiceLink::Session session(link_);
    model = {};
    table_ = {};
    complete_ = updateDisabled_ = busyOp_ = saving_ = writing_ = exitRequested_ = closed_ = false;
    pendingValve_.reset();
    Form_Load();
    if (!closed_)
        dialogs_.showValve(*this);
}

void ValveTable::Form_Load() {
    updateDisabled_ = false;
    if (!link_.openPort())
        return;
    busyOp_ = true;
    auto reply = link_.exchange(cmd::BackDoorOpen);
    busyOp_ = false;
    if (!reply || *reply != token::BackDoorEnabled)
        return; // the list stays empty
    Table read{};
    for (int k = 0; k < 10; ++k) {
        busyOp_ = true;
        reply = link_.exchange(cmd::memoryRead(std::to_string(40 + 2 * k)));
        busyOp_ = false;
        if (!reply)
            return;
        // Loading stops at the first reply that is missing or holds no 16-bit number: a table
        // with a hole must never be written back.
        auto v = reply->empty() || !link::isNumber(*reply) ? std::nullopt
                                                           : toInt16(link::leadingNumber(*reply));
        if (!v) {
            link_.failure(kValveTableHeadline, kSpacedBracket, *reply);
            return;
        }
        read[static_cast<std::size_t>(k)] = *v;
    }
    table_ = read;
    complete_ = true;
    showList();
    model.cmdSave.enabled = true;
    model.changed();
}

void ValveTable::showList() {
    model.List1.items.clear();
    for (auto v : table_)
        model.List1.items.push_back(std::to_string(v));
    model.changed();
}

void ValveTable::List1_Click(int index) {
    if (index < 0 || index >= static_cast<int>(model.List1.items.size()))
        return;
    model.List1.listIndex = index;
    model.Text1.caption = model.List1.items[static_cast<std::size_t>(index)];
    model.changed();
}

bool ValveTable::Text1_KeyPress(int key) {
    if (digitOrBackspace(key))
        return true;
    link_.inform(numbersOnlyText(key));
    return false;
}

bool ValveTable::Text2_KeyPress(int key) {
    if (digitOrBackspace(key))
        return true;
    if (key != kEnter) {
        link_.inform(numbersOnlyText(key));
        return false;
    }
    if (!model.Frame2.visible)
        return false;
    auto value = digitsInRange(model.Text2.caption, model.VScroll1.min, model.VScroll1.max);
    if (!value) {
        link_.inform(kValveRangeText);
        return false;
    }
    operation([&] {
        if (!link_.exchange(cmd::dacWriteUpper("2", std::to_string(*value))) || stopping())
            return;
        // The bar follows, and its move sends once more.
        if (*value != model.VScroll1.value)
            moveBarAndWrite(*value);
    });
    return false;
}

void ValveTable::VScroll1_Change(int value) {
    if (!model.Frame2.visible || closed_)
        return;
    value = std::clamp(value, model.VScroll1.min, model.VScroll1.max);
    model.VScroll1.value = value;
    model.Text2.caption = std::to_string(value);
    model.changed();
    writeValve(value);
}

void ValveTable::moveBarAndWrite(int value) {
    model.VScroll1.value = value;
    model.Text2.caption = std::to_string(value);
    model.changed();
    writeValve(value);
}

void ValveTable::writeValve(int value) {
    if (writing_) {
        pendingValve_ = value; // the latest move goes out after the reply
        return;
    }
    writing_ = true;
    pendingValve_ = value;
    while (pendingValve_ && !stopping()) {
        int v = *pendingValve_;
        pendingValve_.reset();
        if (!link_.exchange(cmd::dacWriteUpper("2", std::to_string(v))))
            break;
    }
    pendingValve_.reset();
    writing_ = false;
    if (exitRequested_ && !busyOp_)
        doExit();
}

void ValveTable::cmdEdit_Click() {
    int r = model.List1.listIndex;
    if (r <= 0 || r >= 10 || r >= static_cast<int>(model.List1.items.size()))
        return; // the 0 % row stays 0
    auto v = digitsInRange(model.Text1.caption, 0, 4095);
    if (!v)
        return;
    table_[static_cast<std::size_t>(r)] = static_cast<std::int16_t>(*v);
    model.List1.items[static_cast<std::size_t>(r)] = std::to_string(*v);
    model.changed();
}

void ValveTable::cmdStart_Click() {
    operation([&] {
        auto reply = link_.exchange(cmd::ValveAuto);
        if (!reply || stopping())
            return;
        if (*reply != token::ValveAuto) {
            link_.failure(kValveTableHeadline, kSpacedBracket, *reply);
            return;
        }
        reply = link_.exchange(cmd::UpdateDisableUpper);
        if (!reply)
            return;
        if (*reply != token::UpdateDisabled) {
            link_.failure(kCalibrationHeadline, kBracket, *reply);
            // The command may have reached the device even when its answer did not.
            updateDisabled_ = true;
            restoreUpdate();
            return;
        }
        updateDisabled_ = true;
        if (stopping())
            return;
        model.Frame1.visible = false;
        model.Frame2.visible = true;
        model.cmdStart.enabled = false;
        model.cmdSave.enabled = false;
        model.lblMsg.caption = kAdjustMessage;
        model.lblMsg.visible = true;
        model.changed();
        // Sent even when the bar already stands there: the device must start from 2000.
        moveBarAndWrite(2000);
    });
}

void ValveTable::restoreUpdate() {
    if (!updateDisabled_)
        return;
    auto reply = link_.exchange(cmd::UpdateEnableUpper);
    if (reply && *reply != token::UpdateEnabled)
        link_.inform(std::string(kUpdateFailedHeadline) + "[" + *reply + "]");
    updateDisabled_ = false;
}

void ValveTable::tableMode() {
    model.Frame1.visible = true;
    model.Frame2.visible = false;
    model.cmdStart.enabled = true;
    model.cmdSave.enabled = complete_;
    model.lblMsg.visible = false;
    model.changed();
}

void ValveTable::cmdReady_Click() {
    operation([&] {
        restoreUpdate();
        if (stopping())
            return;
        double typed = link::leadingNumber(model.Text2.caption);
        auto counts = toInt16(typed);
        if (!counts || *counts < 999 || *counts > 4095) {
            link_.inform("Valve Counts Must be in the Range [999 - 4095]!\r Valve Output: (" +
                         (counts ? std::to_string(*counts) : model.Text2.caption) + ")   " +
                         " Try again!");
        } else {
            table_ = generate(*counts);
            complete_ = true;
            showList();
        }
        tableMode();
    });
}

void ValveTable::cmdCancel_Click() {
    operation([&] {
        restoreUpdate();
        tableMode();
    });
}

void ValveTable::cmdSave_Click() {
    if (!complete_)
        return; // a table that was not read whole or generated is never written
    operation([&] {
        if (!link_.openPort())
            return;
        saving_ = true;
        model.cmdExit.enabled = false;
        model.progress = 0;
        model.ProgBar1.visible = true;
        model.changed();
        bool ok = true;
        for (int k = 0; k < 10 && ok; ++k) {
            auto reply = link_.exchange(cmd::memoryWriteUpper(
                std::to_string(40 + 2 * k), std::to_string(table_[static_cast<std::size_t>(k)])));
            if (!reply) {
                ok = false;
                break;
            }
            if (reply->rfind(token::MemoryWrite, 0) != 0) {
                model.ProgBar1.visible = false;
                model.changed();
                link_.failure(kValveTableHeadline, kSpacedBracket, *reply);
                ok = false;
                break;
            }
            model.progress = k + 1;
            model.changed();
            ok = link_.pause(1.0);
        }
        saving_ = false;
        model.cmdExit.enabled = true;
        model.ProgBar1.visible = false;
        model.changed();
        if (!ok)
            return;
        link_.inform("Valve Table has been Saved. Click OK.");
        exitRequested_ = true;
    });
}

void ValveTable::cmdExit_Click() {
    if (closed_ || saving_)
        return;
    exitRequested_ = true;
    if (!busyOp_ && !writing_)
        doExit();
}

void ValveTable::doExit() {
    if (closed_)
        return;
    busyOp_ = true;
    restoreUpdate();
    busyOp_ = false;
    closed_ = true;
    model.frmValve.visible = false;
    model.changed();
}

} // namespace kvt::service
