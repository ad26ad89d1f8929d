#include "service/GasTable.h"

#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "service/ServiceText.h"

#include <algorithm>

namespace kvt::service {

namespace cmd = link::cmd;
namespace token = link::token;

namespace {

constexpr int kEnter = 13;
constexpr int kBackspace = 8;

const char* const kCalibrateWarning =
    "WARNING: You are going to change existing Gas Calibration Table!\r               Do you "
    "want to change Calibration Table?   ";
const char* const kEditWarning = "  Do you want to Edit Gas Table?  ";

const char* const kValveHeadline = "Communication Error! Can not control Valve!";

bool validRow(int row) {
    return row >= 0 && row < FrmCalibrateCL::kRows;
}

bool digit(int key) {
    return key >= '0' && key <= '9';
}

} // namespace

FrmCalibrateCL::FrmCalibrateCL() {
    for (int r = 0; r < kRows; ++r) {
        auto i = static_cast<std::size_t>(r);
        lblIndex[i].caption = std::to_string(CalibrateCL::countsVariable(r));
        Option1[i].enabled = false;
        Text1[i].enabled = false;
        Text2[i].enabled = false;
    }
}

bool prepareClosedLoop(ServiceLink& link, std::int16_t& errors, const std::function<bool()>& stop) {
    auto reply = link.exchange(cmd::BackDoorOpen);
    if (!reply || *reply != token::BackDoorEnabled || stop())
        return false;
    reply = link.exchange(cmd::UpdateEnableUpper);
    if (!reply || stop())
        return false;
    if (*reply != "DisableUpdate: N") {
        link.inform("Communication Error! Can Not Enable Update!\rController may be locked![" +
                    *reply + "]");
        ++errors;
    }
    reply = link.exchange(cmd::ValveAuto);
    if (!reply || stop())
        return false;
    if (*reply != "VA") {
        link.failure("Communication Error! Can not put Valve in AUTO!", kSpacedBracket, *reply);
        if (++errors > 1)
            return false;
    }
    // Every set point below is in % F.S.: a device left in its own unit would run the rows at
    // the wrong flow, so this one is never tolerated.
    reply = link.exchange(cmd::unit("%"));
    if (!reply || stop())
        return false;
    if (*reply != "U%") {
        link.failure("Communication Error! Can not Set E.U. in to %F.S.!", kSpacedBracket, *reply);
        ++errors;
        return false;
    }
    return true;
}

void restoreFromRecord(ServiceLink& link) {
    auto& t = link.terminal();
    const auto& rec = t.table.record(t.currentDevice());
    std::string valve = rec.ValveMode == 0   ? std::string(cmd::ValveClosedUpper)
                        : rec.ValveMode == 1 ? std::string(cmd::ValveAutoUpper)
                                             : std::string(cmd::ValveOpenUpper);
    std::string expect = rec.ValveMode == 0 ? "VC" : (rec.ValveMode == 1 ? "VA" : "VO");
    auto reply = link.exchange(valve);
    if (!reply)
        return;
    if (*reply != expect)
        link.failure(kValveHeadline, kSpacedBracket, *reply);

    static const char* const kUnits[] = {"%",    "SLPM", "SLPH", "MLPM", "MLPH",
                                         "SCFH", "SCFM", "LBPH", "LBPM"};
    std::string units = rec.EngUnit >= 0 && rec.EngUnit <= 8
                            ? cmd::unitUpper(kUnits[rec.EngUnit])
                            : cmd::userUnitUpper(link::formatNumber(rec.UserEuFactor));
    reply = link.exchange(units);
    if (!reply)
        return;
    if (reply->rfind("U", 0) != 0)
        link.failure("Communication Error! Can not Restore E.U.!", kSpacedBracket, *reply);

    reply = link.exchange(cmd::setPoint("0.0"));
    if (!reply)
        return;
    if (reply->rfind("S", 0) != 0)
        link.failure("Communication Error! Can not Send Set Point!", kSpacedBracket, *reply);
}

CalibrateCL::CalibrateCL(ServiceLink& link, ServiceDialogs& dialogs)
    : link_(link), dialogs_(dialogs) {
    if (dialogs_.hasGasTableWindows())
        link_.terminal().registerMenu("mnuToolsCalibrateCL", [this] { run(); });
}

template <typename F> void CalibrateCL::operation(F&& f) {
    if (busyOp_ || closed_)
        return;
    busyOp_ = true;
    f();
    busyOp_ = false;
    if (exitRequested_) {
        doExit();
    } else if (pendingBar_ && !writing_) {
        // A bar move made while another exchange waited goes out now.
        int value = *pendingBar_;
        pendingBar_.reset();
        writeBar(value);
    }
}

void CalibrateCL::run() {
    if (link_.busy() || !link_.confirm(kCalibrateWarning) || !link_.canStart())
        return;
    ServiceLink::Session session(link_);
    model = {};
    errors_ = 0;
    loaded_ = busyOp_ = writing_ = exitRequested_ = closed_ = false;
    pendingBar_.reset();
    Form_Load();
    if (exitRequested_)
        doExit();
    if (!closed_)
        dialogs_.showCalibrateCL(*this);
}

void CalibrateCL::Form_Load() {
    busyOp_ = true;
    loaded_ = load();
    busyOp_ = false;
    for (auto& o : model.Option1)
        o.enabled = loaded_;
    model.List1.items = {" AUTO", "CLOSE", " OPEN"};
    model.changed();
    if (!stopping())
        List1_Click(0);
}

bool CalibrateCL::load() {
    errors_ = 0;
    if (!link_.openPort())
        return false;
    if (!prepareClosedLoop(link_, errors_, [this] { return stopping(); }))
        return false;
    std::optional<std::string> reply;
    std::array<std::int16_t, 10> counts{};
    std::array<double, 10> fractions{};
    for (int r = 0; r < FrmCalibrateCL::kRows; ++r) {
        reply = link_.exchange(cmd::memoryRead(std::to_string(countsVariable(r))));
        if (!reply || stopping())
            return false;
        auto v = reply->empty() ? std::nullopt : toInt16(link::leadingNumber(*reply));
        if (!v) {
            link_.failure(kCalibrationTerminated, kSpacedBracket, *reply);
            return false;
        }
        counts[static_cast<std::size_t>(r)] = *v;
    }
    for (int r = 0; r < FrmCalibrateCL::kRows; ++r) {
        reply = link_.exchange(cmd::memoryRead(std::to_string(fractionVariable(r))));
        if (!reply || stopping())
            return false;
        if (reply->empty()) {
            link_.failure(kCalibrationTerminated, kSpacedBracket, *reply);
            return false;
        }
        fractions[static_cast<std::size_t>(r)] = link::leadingNumber(*reply);
    }
    link_.gasTableCounts = counts;
    link_.gasTableFractions = fractions;
    for (std::size_t r = 0; r < counts.size(); ++r) {
        model.Text1[r].caption = formatHalfUp(fractions[r] * 100.0, 1);
        model.Text2[r].caption = std::to_string(counts[r]);
    }
    model.changed();
    return true;
}

void CalibrateCL::List1_Click(int index) {
    static const std::string_view kSend[] = {cmd::ValveAutoUpper, cmd::ValveClosedUpper,
                                             cmd::ValveOpenUpper};
    static const char* const kExpect[] = {"VA", "VC", "VO"};
    if (index < 0 || index >= static_cast<int>(model.List1.items.size()))
        return;
    model.List1.listIndex = index;
    model.changed();
    operation([&] {
        auto reply = link_.exchange(kSend[index]);
        if (reply && !stopping() && *reply != kExpect[index])
            link_.failure(kValveHeadline, kSpacedBracket, *reply);
    });
}

void CalibrateCL::Option1_Click(int row) {
    if (!loaded_ || !validRow(row) || busyOp_ || closed_)
        return;
    selectRow(row);
    operation([&] {
        auto sp = formatHalfUp(
            link::operatorNumber(model.Text1[static_cast<std::size_t>(row)].caption), 1);
        auto reply = link_.exchange(cmd::setPoint(sp));
        if (reply && !stopping() && reply->rfind("S", 0) != 0)
            link_.failure("Communication Error! Set Point is not Updated!", kSpacedBracket, *reply);
    });
}

void CalibrateCL::selectRow(int row) {
    model.selected = row;
    for (int r = 0; r < FrmCalibrateCL::kRows; ++r) {
        auto i = static_cast<std::size_t>(r);
        bool on = r == row;
        model.Option1[i].checked = on;
        model.Text1[i].enabled = model.Text2[i].enabled = on;
        model.Text1[i].alert = model.Text2[i].alert = on;
    }
    // A stored count the bar cannot show leaves it off rather than clamped: a clamped bar would
    // write a value the operator never chose at the first touch.
    auto counts = digitsInRange(model.Text2[static_cast<std::size_t>(row)].caption,
                                model.VScroll1.min, model.VScroll1.max);
    model.VScroll1.enabled = counts.has_value();
    if (counts)
        model.VScroll1.value = *counts;
    model.changed();
}

void CalibrateCL::Text1_Change(int row, const std::string& text) {
    if (validRow(row))
        model.Text1[static_cast<std::size_t>(row)].caption = text;
}

void CalibrateCL::Text2_Change(int row, const std::string& text) {
    if (validRow(row))
        model.Text2[static_cast<std::size_t>(row)].caption = text;
}

bool CalibrateCL::writeCounts(int row, int value) {
    std::string n = std::to_string(countsVariable(row));
    std::string v = std::to_string(value);
    model.Text2[static_cast<std::size_t>(row)].caption = v;
    model.changed();
    auto reply = link_.exchange(cmd::memoryWrite(n + "," + v));
    if (!reply || stopping())
        return false;
    if (*reply != "MW," + n + "," + v) {
        link_.failure(kEepromNotUpdated, kSpacedBracket, *reply);
        return false;
    }
    return true;
}

bool CalibrateCL::Text2_KeyPress(int row, int key) {
    if (digit(key) || key == kBackspace)
        return true;
    if (key != kEnter) {
        link_.inform(numbersOnlyText(key));
        return false;
    }
    if (!validRow(row) || row != model.selected || busyOp_ || closed_)
        return false;
    const auto& text = model.Text2[static_cast<std::size_t>(row)].caption;
    if (!link_.acceptTyped(text))
        return false;
    auto value = digitsInRange(text, model.VScroll1.min, model.VScroll1.max);
    if (!value) {
        link_.inform(kCountsRangeText);
        return false;
    }
    operation([&] {
        // A bar move made meanwhile is newer than the typed value and is sent next.
        if (writeCounts(row, *value) && !pendingBar_) {
            model.VScroll1.value = *value;
            model.VScroll1.enabled = true;
            model.changed();
        }
    });
    return false;
}

bool CalibrateCL::Text1_KeyPress(int row, int key) {
    if (digit(key) || key == '.' || key == kBackspace)
        return true;
    if (key != kEnter) {
        link_.inform(numbersOnlyText(key));
        return false;
    }
    if (!validRow(row) || row != model.selected || busyOp_ || closed_)
        return false;
    const auto& text = model.Text1[static_cast<std::size_t>(row)].caption;
    if (!link_.acceptTyped(text))
        return false;
    auto flow = link::parseNumber(text);
    if (!flow || !(*flow > 0.0)) {
        link_.inform(kFlowRangeText);
        return false;
    }
    operation([&] {
        std::string body = cmd::memoryWrite(std::to_string(fractionVariable(row)) + "," +
                                            formatHalfUp(*flow / 100.0, 3));
        auto reply = link_.exchange(body);
        if (reply && !stopping() && reply->rfind("MW", 0) != 0)
            link_.failure(kEepromNotUpdated, kSpacedBracket, *reply);
    });
    return false;
}

void CalibrateCL::VScroll1_Change(int value) {
    if (closed_ || exitRequested_ || !validRow(model.selected) || !model.VScroll1.enabled)
        return;
    value = std::clamp(value, model.VScroll1.min, model.VScroll1.max);
    model.VScroll1.value = value;
    if (writing_ || busyOp_) {
        // Merged: the latest position goes out once the write in flight is answered.
        pendingBar_ = value;
        return;
    }
    writeBar(value);
}

void CalibrateCL::writeBar(int value) {
    writing_ = true;
    operation([&] {
        int row = model.selected;
        std::optional<int> next = value;
        while (next && !stopping()) {
            pendingBar_.reset();
            writeCounts(row, *next);
            next = pendingBar_;
        }
        pendingBar_.reset();
    });
    writing_ = false;
}

void CalibrateCL::cmdExit_Click() {
    if (closed_)
        return;
    if (busyOp_) {
        exitRequested_ = true;
        return;
    }
    doExit();
}

void CalibrateCL::doExit() {
    if (closed_)
        return;
    exitRequested_ = false;
    busyOp_ = true;
    restoreFromRecord(link_);
    busyOp_ = false;
    closed_ = true;
    model.frmCalibrateCL.visible = false;
    model.changed();
}

EditGasTable::EditGasTable(ServiceLink& link, ServiceDialogs& dialogs)
    : link_(link), dialogs_(dialogs) {
    if (dialogs_.hasGasTableWindows())
        link_.terminal().registerMenu("mnuToolsEditGasInfo", [this] { run(); });
}

void EditGasTable::run() {
    if (link_.busy() || !link_.confirm(kEditWarning) || !link_.canStart())
        return;
    ServiceLink::Session session(link_);
    model = {};
    busyOp_ = saving_ = cancelRequested_ = closed_ = false;
    Form_Load();
    if (cancelRequested_)
        closed_ = true;
    if (!closed_)
        dialogs_.showEditGT(*this);
}

void EditGasTable::Form_Load() {
    auto& t = link_.terminal();
    model.frmEditGT.caption = "Edit Gas Table #" +
                              std::to_string(t.table.record(t.currentDevice()).GasTable + 1) +
                              "   [1-10]";
    // Save writes every box: it is offered only once every box holds what the device said.
    model.cmdSave.enabled = false;
    model.changed();
    if (!link_.openPort())
        return;
    busyOp_ = true;
    bool complete = true;
    for (int box = 0; box < FrmEditGT::kBoxes && complete && !cancelRequested_; ++box) {
        auto reply = link_.exchange(cmd::memoryRead(std::to_string(variable(box))));
        if (!reply || reply->empty()) {
            complete = false;
            break;
        }
        model.Text2[static_cast<std::size_t>(box)].caption = *reply;
        model.changed();
    }
    busyOp_ = false;
    model.cmdSave.enabled = complete && !cancelRequested_;
    model.changed();
    if (!complete && !cancelRequested_)
        link_.inform(kGasTableIncompleteText);
}

void EditGasTable::Text2_Change(int box, const std::string& text) {
    if (box >= 0 && box < FrmEditGT::kBoxes && !saving_)
        model.Text2[static_cast<std::size_t>(box)].caption = text;
}

void EditGasTable::cmdSave_Click() {
    if (closed_ || busyOp_ || !model.cmdSave.enabled)
        return;
    for (const auto& box : model.Text2)
        if (!link_.acceptTyped(box.caption))
            return;
    if (!link_.openPort())
        return;
    busyOp_ = saving_ = true;
    model.cmdSave.enabled = model.cmdCancel.enabled = false;
    std::string failed;
    bool ok = true;
    auto write = [&](int box) {
        std::string body = cmd::memoryWriteUpper(
            std::to_string(variable(box)), model.Text2[static_cast<std::size_t>(box)].caption);
        auto reply = link_.exchange(body);
        if (!reply || reply->rfind("MW", 0) != 0) {
            failed = reply.value_or("");
            return false;
        }
        return true;
    };
    ok = write(0);
    if (ok) {
        model.progress = 0;
        model.ProgBar1.visible = true;
        model.changed();
        for (int box = 1; box < FrmEditGT::kBoxes && ok; ++box) {
            ok = write(box);
            if (!ok)
                break;
            ++model.progress;
            model.changed();
            if (!link_.pause(1.0)) {
                ok = false;
                break;
            }
        }
    }
    if (ok)
        link_.inform(kGasTableSaved);
    else
        link_.failure(kGasTableSaveTerminated, kSpacedBracket, failed);
    model.ProgBar1.visible = false;
    busyOp_ = saving_ = false;
    closed_ = true;
    model.frmEditGT.visible = false;
    model.changed();
}

void EditGasTable::cmdCancel_Click() {
    if (closed_ || saving_)
        return; // a save in progress runs to its end and then closes
    if (busyOp_) {
        cancelRequested_ = true;
        return;
    }
    closed_ = true;
    model.frmEditGT.visible = false;
    model.changed();
}

} // namespace kvt::service
