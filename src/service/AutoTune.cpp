#include "service/AutoTune.h"

#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "service/GasTable.h"
#include "service/ServiceText.h"
#include "service/ZeroAdjust.h"

#include <algorithm>

namespace kvt::service {

namespace cmd = link::cmd;

namespace {

constexpr int kEnter = 13;
constexpr int kBackspace = 8;

const char* const kWarning =
    "WARNING: This will perform PID Tuning!\r  Do you want to Perform PID AutoTune?  ";

std::string lockedOut(const std::string& headline, const std::string& reply) {
    return headline + "\rController may be locked![" + reply + "]";
}

} // namespace

std::optional<AutoTuneStatus> parseAutoTuneStatus(const std::string& reply) {
    // Four status characters, one separator, then P,I,D.
    if (reply.size() < 6)
        return std::nullopt;
    auto first = reply.find(',', 5);
    if (first == std::string::npos)
        return std::nullopt;
    auto second = reply.find(',', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    return AutoTuneStatus{reply.substr(0, 4), reply.substr(5, first - 5),
                          reply.substr(first + 1, second - first - 1), reply.substr(second + 1)};
}

AutoTune::AutoTune(ServiceLink& link, ServiceDialogs& dialogs) : link_(link), dialogs_(dialogs) {
    if (dialogs_.hasAutoTuneWindow())
        link_.terminal().registerMenu("mnuToolsAutoTune", [this] { run(); });
}

template <typename F> void AutoTune::operation(F&& f) {
    if (busyOp_ || closed_)
        return;
    busyOp_ = true;
    f();
    busyOp_ = false;
    if (exitRequested_)
        doExit();
}

void AutoTune::run() {
    if (link_.busy() || !link_.confirm(kWarning) || !link_.canStart())
        return;
    ServiceLink::Session session(link_);
    model = {};
    errors_ = 0;
    filled_ = {};
    running_ = tuningStarted_ = busyOp_ = stopBusy_ = exitRequested_ = closed_ = false;
    statusLine_.clear();
    closingLine_.clear();
    Form_Load();
    if (exitRequested_)
        doExit();
    if (!closed_)
        dialogs_.showAutoTune(*this);
}

void AutoTune::Form_Load() {
    model.List1.items = {"  0.00", " 10.00", " 20.00", " 30.00", " 40.00", " 50.00",
                         " 60.00", " 70.00", " 80.00", " 90.00", "100.00"};
    model.List1.listIndex = 8;
    model.Option1[0].checked = true;
    model.Option1[1].checked = false;
    model.changed();
    busyOp_ = true;
    errors_ = 0;
    if (link_.openPort() && prepareClosedLoop(link_, errors_, [this] { return exitRequested_; })) {
        for (int i = 0; i < 3; ++i) {
            auto reply = link_.exchange(cmd::memoryRead(std::to_string(110 + i)));
            if (!reply || exitRequested_)
                break;
            if (reply->empty()) {
                link_.failure(kCalibrationTerminated, kSpacedBracket, *reply);
                break;
            }
            model.Text1[static_cast<std::size_t>(i)].caption = *reply;
            filled_[static_cast<std::size_t>(i)] = true;
            model.changed();
        }
    }
    busyOp_ = false;
    model.locked = {true, true, true};
    model.lblMsg.caption = kAutoTunePrompt;
    model.cmdStop.enabled = false;
    model.changed();
}

void AutoTune::List1_Click(int index) {
    if (index >= 0 && index < static_cast<int>(model.List1.items.size()) && model.List1.enabled)
        model.List1.listIndex = index;
}

void AutoTune::setMode(bool manual) {
    model.Option1[0].checked = !manual;
    model.Option1[1].checked = manual;
    model.locked = {!manual, !manual, !manual};
    model.lblMsg.caption = manual ? "" : kAutoTunePrompt;
    model.cmdStop.enabled = manual;
    model.changed();
}

void AutoTune::Option1_Click(int index) {
    if (closed_ || running_ || busyOp_ || index < 0 || index > 1)
        return;
    setMode(index == 1);
}

void AutoTune::Text1_Change(int box, const std::string& text) {
    if (box < 0 || box > 2 || model.locked[static_cast<std::size_t>(box)])
        return;
    model.Text1[static_cast<std::size_t>(box)].caption = text;
    filled_[static_cast<std::size_t>(box)] = true;
}

bool AutoTune::Text1_KeyPress(int box, int key) {
    if (box < 0 || box > 2 || model.locked[static_cast<std::size_t>(box)])
        return false;
    auto i = static_cast<std::size_t>(box);
    if ((key >= '0' && key <= '9') || key == '.' || key == kBackspace)
        return true;
    if (key != kEnter) {
        link_.inform(numbersOnlyText(key));
        return false;
    }
    // Only a value the device gave or the operator typed goes back: the initial "0.0" of a box
    // whose read failed would zero a PID constant.
    if (!filled_[i] || busyOp_ || closed_)
        return false;
    if (!link_.acceptTyped(model.Text1[i].caption))
        return false;
    auto value = link::parseNumber(model.Text1[i].caption);
    if (!value) {
        link_.inform(kPidNumberText);
        return false;
    }
    operation([&] {
        auto reply = link_.exchange(
            cmd::memoryWrite(std::to_string(110 + box) + "," + formatHalfUp(*value, 6)));
        if (reply && !exitRequested_ && reply->rfind("MW", 0) != 0)
            link_.failure("Communication Error! PID is not Updated!", kSpacedBracket, *reply);
    });
    return false;
}

void AutoTune::idleControls() {
    running_ = false;
    model.cmdStop.enabled = false;
    model.cmdStart.enabled = true;
    model.List1.enabled = true;
    model.Option1[0].enabled = model.Option1[1].enabled = true;
    model.changed();
}

void AutoTune::handleStatus(const AutoTuneStatus& s) {
    if (s.code == "ATSI") {
        statusLine_ = " AutoTune Status: In Process";
        closingLine_.clear();
    } else if (s.code == "ATSD") {
        statusLine_ = "AutoTune Status: Done";
        closingLine_ = "Click [Exit] button to Quit.";
        tuningStarted_ = false;
        idleControls();
        model.Text1[0].caption = s.p;
        model.Text1[1].caption = s.i;
        model.Text1[2].caption = s.d;
        filled_ = {true, true, true};
    }
    model.lblMsg.caption = statusLine_ + "\rProportional: " + s.p + "\rIntegral       : " + s.i +
                           "\rDerivative   : " + s.d + "\r\r" + closingLine_;
    model.changed();
}

void AutoTune::cmdStart_Click() {
    if (closed_ || running_ || !model.cmdStart.enabled)
        return;
    operation([&] {
        model.lblMsg.caption.clear();
        model.changed();
        double sp = link::leadingNumber(model.List1.text());
        if (manualMode()) {
            model.locked = {false, false, false};
            auto reply = link_.exchange(cmd::setPoint(formatHalfUp(sp, 2)));
            if (!reply || exitRequested_)
                return;
            if (reply->rfind("S", 0) == 0) {
                model.lblMsg.caption = "Current Set Point:  " + reply->substr(1) + "  %F.S.";
            } else {
                link_.inform(
                    lockedOut("Communication Error! Can Not Send Set Point Command!", *reply));
                model.lblMsg.caption = "Current Set Point:  ";
            }
            model.changed();
            return;
        }
        auto reply = link_.exchange(cmd::autoTuneStart(formatHalfUp(std::max(sp, 20.0), 2)));
        if (!reply || exitRequested_)
            return;
        if (reply->rfind("AT", 0) != 0) {
            link_.inform(lockedOut("Communication Error! Can Not Start AutoTune!", *reply));
            return;
        }
        tuningStarted_ = true;
        model.cmdStart.enabled = false;
        model.List1.enabled = false;
        model.Option1[0].enabled = model.Option1[1].enabled = false;
        model.cmdStop.enabled = true;
        model.locked = {true, true, true};
        running_ = true;
        model.changed();
        int timeouts = 0;
        auto leave = [this] { return !running_ || exitRequested_ || closed_; };
        while (!leave()) {
            if (!link_.pause(1.0, leave) || leave())
                break;
            reply = link_.exchange(cmd::AutoTuneStatus, {.reportNoReply = false});
            if (!reply)
                break;
            if (leave())
                break;
            if (reply->empty()) {
                if (++timeouts >= kMaxTimeouts) {
                    idleControls();
                    link_.inform(kAutoTuneSilentText);
                    break;
                }
                continue;
            }
            timeouts = 0;
            if (auto s = parseAutoTuneStatus(*reply))
                handleStatus(*s);
        }
        if (running_ && !exitRequested_)
            idleControls();
        running_ = false;
    });
}

void AutoTune::cmdStop_Click() {
    if (closed_ || stopBusy_ || exitRequested_ || !model.cmdStop.enabled)
        return;
    // Stop works while the Start poll waits between requests; the exchanges queue behind it.
    if (busyOp_ && !running_)
        return;
    stopBusy_ = true;
    bool wasIdle = !busyOp_;
    busyOp_ = true;
    if (!manualMode()) {
        auto reply = link_.exchange(cmd::AutoTuneStop);
        if (reply && !reply->empty() && !closed_) {
            reply = link_.exchange(cmd::AutoTuneStatus);
            if (reply && !closed_)
                if (auto s = parseAutoTuneStatus(*reply))
                    handleStatus(*s);
        }
    } else {
        auto reply = link_.exchange(cmd::setPoint("0.0"));
        if (reply) {
            if (reply->rfind("S", 0) != 0)
                link_.inform(
                    lockedOut("Communication Error! Can Not Send Set Point Command!", *reply));
            model.lblMsg.caption.clear();
            model.changed();
        }
    }
    if (wasIdle)
        busyOp_ = false;
    stopBusy_ = false;
    if (wasIdle && exitRequested_)
        doExit();
}

void AutoTune::cmdExit_Click() {
    if (closed_)
        return;
    if (busyOp_) {
        exitRequested_ = true;
        return;
    }
    doExit();
}

void AutoTune::doExit() {
    if (closed_)
        return;
    exitRequested_ = false;
    busyOp_ = true;
    // A tuning left running would keep driving the valve after the window is gone.
    if (tuningStarted_) {
        link_.exchange(cmd::AutoTuneStop);
        tuningStarted_ = false;
    }
    running_ = false;
    restoreFromRecord(link_);
    busyOp_ = false;
    closed_ = true;
    model.frmAutoTune.visible = false;
    model.changed();
}

} // namespace kvt::service
