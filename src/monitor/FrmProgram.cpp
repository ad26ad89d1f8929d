#include "monitor/FrmProgram.h"

#include "link/CommSettings.h"
#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "monitor/DataLogs.h"
#include "monitor/DialogHost.h"
#include "monitor/FrmTerminal.h"
#include "monitor/UnitTable.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace kvt::monitor {

namespace {

using Steps = FrmTerminal::Steps;
// The runner opened the port itself and does not run beside single-unit monitoring.
constexpr Steps kRunStep{.openPort = false, .stopMonitoring = false, .showReply = false};

// Comparisons of values that are decimal in the operator's mind: a rounding error of the doubles
// must not decide whether a set point goes out.
constexpr double kEps = 1e-9;

const std::vector<std::string> kRunMenus = {
    "mnuFile",     "mnuCommands", "mnuPort",  "mnuView",  "mnuDProperties",
    "mnuTerminal", "mnuOptions",  "mnuQuery", "mnuTools", "Device"};
const std::vector<std::string> kRunButtons = {"StartAS",    "StartAM",         "OpenLogFile",
                                              "ALogO",      "DialPhoneNumber", "HangUpPhone",
                                              "Properties", "TransmitTextFile"};

// A time that is negative or not a number counts as 0.
double stepTime(const std::string& text) {
    double v = link::leadingNumber(text);
    return std::isfinite(v) && v > 0 ? v : 0.0;
}

double finiteOrZero(double v) {
    return std::isfinite(v) ? v : 0.0;
}

std::string lastChars(const std::string& s, std::size_t n) {
    return s.size() <= n ? s : s.substr(s.size() - n);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Runner

ProgramRunner::ProgramRunner(FrmTerminal& terminal) : t_(terminal) {
    t_.registerMenu("mnuCommProg", [this] {
        FrmProg dialog(t_, *this);
        dialog.Form_Load();
        t_.dialogs().showProgram(dialog);
    });
    // Timer7 repeats through a run, so the ticks keep their 0.2 s grid however long an
    // exchange takes; the runner takes at most one tick at a time.
    t_.Timer7().setInterval(200);
    t_.Timer7().setOnTick([this] { tick = true; });
    t_.Timer9().setInterval(50);
    t_.Timer9().setOnTick([this] { Timer9_Timer(); });
}

void ProgramRunner::start() {
    t_.Timer9().start();
}

void ProgramRunner::Timer9_Timer() {
    t_.Timer9().stop();
    if (!running_)
        run();
}

void ProgramRunner::chkLoop_Click(bool checked) {
    loop = checked;
    panel.chkLoop.checked = checked;
    panel.changed();
}

void ProgramRunner::Command1_Click() {
    quit = true;
    loop = false;
    panel.chkLoop.checked = false;
    panel.changed();
}

void ProgramRunner::stopForClose() {
    if (running_)
        Command1_Click();
}

bool ProgramRunner::goesOn() const {
    return !quit && t_.port().portOpen() && !t_.runtime().pump().shuttingDown();
}

void ProgramRunner::lockWindow(bool locked) {
    auto& m = t_.model;
    m.fraCD.enabled = !locked;
    t_.enableForMode(kRunMenus, kRunButtons, !locked);
    if (locked)
        m.frmTerminal.caption =
            std::string(link::kApplication) + " ..." +
            lastChars(programFile, std::min<std::size_t>(45, programFile.size()));
    else
        m.frmTerminal.caption = link::kApplication;
    m.changed();
}

std::optional<std::string> ProgramRunner::ask(std::string_view body) {
    return t_.exchangeReportingOnce(slot_, body, kRunStep, silentReported_);
}

void ProgramRunner::run() {
    slot_ = t_.currentDevice();
    if (!t_.table.holdsDevice(slot_) || t_.table.record(slot_).CommEnabled == 0) {
        t_.tellDisabledForCommunication();
        return;
    }
    auto& m = t_.model;
    auto& rec = t_.table.record(slot_);
    auto& st = t_.table.status(slot_);
    running_ = true;
    quit = false;
    silentReported_ = false;

    // 1 to 3
    if (st.FullScale == 0)
        st.FullScale = 100;
    fullScale_ = t_.units.currentFullScale(rec, st);
    if (!std::isfinite(fullScale_) || fullScale_ <= 0)
        fullScale_ = 100; // scaled as if the full scale were 100
    current_ = finiteOrZero(rec.EngUnit == 0 ? rec.SetPoint : rec.SetPoint / fullScale_ * 100);

    // 4: a port that will not open ends the run before anything is shown or locked.
    if (!t_.ports().openIfClosed()) {
        running_ = false;
        m.changed();
        return;
    }
    m.fraProg.visible = true;
    panel.lblEU1.caption = std::string(UnitTable::name(rec.EngUnit));
    panel.chkLoop.visible = true;
    panel.chkLoop.checked = loop;
    panel.changed();
    lockWindow(true);

    // 6 to 8
    rampStart_ = current_;
    tick = false;
    t_.Timer7().start();
    bool goOn = true;
    const int steps = std::clamp(stepCount, 0, SetPointProgram::kRows);
    do {
        int ran = 0;
        for (int i = 1; i <= steps && goOn && !quit; ++i) {
            if (t_.table.holdsDevice(slot_) && table.rows[i - 1].isStep())
                ++ran;
            goOn = runStep(i);
        }
        // A pass that ran no step would repeat at once for ever.
        if (ran == 0)
            break;
    } while (goOn && loop && !quit);
    t_.Timer7().stop();

    // 9
    panel.chkLoop.visible = false;
    m.fraProg.visible = false;
    panel.changed();
    lockWindow(false);
    if (!t_.runtime().pump().shuttingDown()) {
        double until = t_.runtime().clock().monotonic() + 0.5;
        platform::waitUntilOrDeadline(t_.runtime(), until, [] { return false; });
    }
    if (t_.port().portOpen())
        t_.ports().portToggle();
    running_ = false;
    m.changed();
}

bool ProgramRunner::runStep(int index) {
    const ProgramRow& row = table.rows[index - 1];
    panel.lblStep.caption = std::to_string(index);
    panel.changed();
    const double time = stepTime(row.time);
    const double target = finiteOrZero(link::leadingNumber(row.setPoint));
    if (!row.isStep()) {
        rampStart_ = target;
        return true;
    }
    panel.lblDur.caption = link::formatNumber(time);
    panel.lblVtA.caption = link::formatNumber(target);
    panel.changed();

    if (time == 0) {
        current_ = std::max(target, 0.0);
        showConfirmed(current_);
        sendSetPoint(current_, true);
        rampStart_ = target;
        return t_.port().portOpen() && !t_.runtime().pump().shuttingDown();
    }

    enum class Dir { Up, Down, Hold };
    const Dir dir = rampStart_ < target ? Dir::Up : rampStart_ > target ? Dir::Down : Dir::Hold;
    const double ticks = time / kTickSeconds;
    const double span = std::fabs(target - rampStart_);
    // The running value follows from where the step began and the tick number, never from
    // adding increments, so a long step neither drifts nor gains a tick.
    const double from = current_;
    double running = from;
    long k = 0;
    bool complete = false;
    tick = false;
    auto& pump = t_.runtime().pump();
    while (!complete) {
        if (!pump.waitUntil([this] { return tick || quit || !t_.port().portOpen(); }))
            return false;
        if (!goesOn())
            return false;
        // Tick
        ++k;
        const double lastSent = current_;
        tick = false;
        auto reading = ask(link::cmd::ReadFlow);
        if (!reading)
            return false;
        panel.lblRe.caption = *reading;
        if (!reading->empty())
            t_.table.status(slot_).Flow = link::leadingNumber(*reading);
        panel.changed();
        auto& logs = t_.logs();
        if (logs.recorderOn() && logs.recordDue) {
            logs.writeAuto(DataLogs::singleUnitRecord(t_.table.record(slot_).Number, *reading));
            logs.recordDue = false;
        }
        const double moved = span * (static_cast<double>(k) / ticks);
        const bool lastTick = from == rampStart_ && k >= ticks - kEps;
        switch (dir) {
        case Dir::Up:
            running = std::min(from + moved, target);
            if (lastTick)
                running = target;
            if (running - lastSent > kDeadband + kEps)
                current_ = running;
            complete = running >= target - kEps;
            break;
        case Dir::Down:
            running = std::max(from - moved, target);
            if (lastTick)
                running = target;
            if (lastSent - running >= kDeadband - kEps)
                current_ = running;
            complete = running <= target + kEps;
            break;
        case Dir::Hold:
            complete = k >= ticks - kEps;
            break;
        }
        if (current_ != lastSent)
            sendSetPoint(current_, false);
        if (complete) {
            // The step's own set point is due when the last value sent is outside the deadband.
            if (std::fabs(target - current_) > kDeadband + kEps) {
                current_ = target;
                sendSetPoint(current_, false);
            }
            t_.op().beep();
        }
        if (!t_.port().portOpen() || pump.shuttingDown())
            return false;
    }
    rampStart_ = target;
    return true;
}

void ProgramRunner::sendSetPoint(double value, bool zeroTimeStep) {
    if (!t_.table.holdsDevice(slot_))
        return;
    auto& rec = t_.table.record(slot_);
    auto& st = t_.table.status(slot_);
    st.SetPointPending = true;
    if (!zeroTimeStep && value < kDeadband)
        value = 0;
    current_ = value;
    // Percent of full scale on the panel; the device takes its own unit.
    const double deviceValue = rec.EngUnit == 0 ? value : value * fullScale_ / 100;
    rec.SetPoint = deviceValue;
    auto reply = ask(link::cmd::setPoint(link::formatPattern(deviceValue, "######0.0000")));
    if (!reply || reply->empty() || (*reply)[0] != 'S')
        return;
    st.SetPointPending = false;
    panel.lblTest.caption = reply->substr(1);
    const double confirmed = link::leadingNumber(reply->substr(1));
    showConfirmedBar(rec.EngUnit == 0 ? confirmed : confirmed / fullScale_ * 100);
    panel.changed();
}

void ProgramRunner::showConfirmed(double percent) {
    panel.lblTest.caption = link::formatNumber(percent);
    showConfirmedBar(percent);
    panel.changed();
}

void ProgramRunner::showConfirmedBar(double percent) {
    // The bar ends at 100 %: a value above it fills the bar.
    percent = finiteOrZero(percent);
    panel.ProgressBar2 = static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0)));
}

// ---------------------------------------------------------------------------------------------
// Dialog

FrmProg::FrmProg(FrmTerminal& terminal, ProgramRunner& runner) : t_(terminal), runner_(runner) {}

void FrmProg::Form_Load() {
    toBoxes(runner_.table);
    model.chkLoop.checked = runner_.loop;
    model.frmProg.caption = kCaption;
    model.changed();
}

std::string FrmProg::folder() const {
    return t_.logs().folder();
}

bool FrmProg::keyPress(int code, bool allowPoint) {
    if ((code >= '0' && code <= '9') || (allowPoint && code == '.') || code == 8)
        return true;
    if (code == 13)
        return false;
    t_.op().message({"You can use only numerical characters [0-9]!\r ASCII(" +
                         std::to_string(code) + ")    Try again!",
                     kSystemMonitor, platform::Buttons::Ok, platform::Icon::Information, 0});
    return false;
}

bool FrmProg::txtSP_KeyPress(int code) {
    return keyPress(code, true);
}
bool FrmProg::txtTime_KeyPress(int code) {
    return keyPress(code, false);
}
bool FrmProg::txtEndStep_KeyPress(int code) {
    return keyPress(code, false);
}

std::string FrmProg::keepTypable(const std::string& text, bool allowPoint) {
    std::string out;
    for (char c : text)
        if ((c >= '0' && c <= '9') || (allowPoint && c == '.'))
            out += c;
    return out;
}

SetPointProgram FrmProg::fromBoxes() const {
    SetPointProgram p;
    for (int i = 0; i < SetPointProgram::kRows; ++i)
        p.rows[i] = {model.txtSP[i].caption, model.txtTime[i].caption};
    return p;
}

void FrmProg::toBoxes(const SetPointProgram& program) {
    for (int i = 0; i < SetPointProgram::kRows; ++i) {
        model.txtSP[i].caption = program.rows[i].setPoint;
        model.txtTime[i].caption = program.rows[i].time;
    }
}

void FrmProg::showFile(const std::string& path) {
    model.frmProg.caption = std::string(kCaption) + " ..." + lastChars(path, 25);
}

void FrmProg::cmdLoad_Click() {
    auto path = t_.op().chooseFile({"Open Program File", kFilter, folder() + "/", false});
    if (!path)
        return;
    auto read = loadProgramFile(*path);
    if (!read.error.empty()) {
        t_.op().message(
            {read.error, kSystemMonitor, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
        return;
    }
    runner_.programFile = *path;
    toBoxes(read.program);
    showFile(*path);
    model.changed();
}

void FrmProg::cmdSave_Click() {
    SetPointProgram program = fromBoxes();
    if (auto refused = unsavableText(program)) {
        t_.op().message(
            {*refused, kSystemMonitor, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
        return;
    }
    for (;;) {
        auto path = t_.op().chooseFile(
            {"Save Program to the File", kFilter, folder() + "/My_Prog1.prg", true, false});
        if (!path)
            return;
        std::error_code ec;
        if (std::filesystem::exists(*path, ec)) {
            auto answer =
                t_.op().message({"Replace existing file - " + *path + "?", kSystemMonitor,
                                 platform::Buttons::OkCancel, platform::Icon::Exclamation, 1});
            if (answer != platform::Answer::Ok)
                continue;
        }
        std::string error = saveProgramFile(*path, program);
        if (!error.empty()) {
            t_.op().message(
                {error, kSystemMonitor, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
            return;
        }
        runner_.programFile = *path;
        showFile(*path);
        model.changed();
        return;
    }
}

void FrmProg::cmdRun_Click() {
    runner_.table = fromBoxes();
    int steps = static_cast<int>(std::clamp(link::leadingNumber(model.txtEndStep.caption), 0.0,
                                            double(SetPointProgram::kRows)));
    bool any = false;
    for (int i = 0; i < steps; ++i)
        any = any || runner_.table.rows[i].isStep();
    if (!any) {
        t_.op().message({"Program Table is empty!", link::kApplication, platform::Buttons::Ok,
                         platform::Icon::None, 0});
        return;
    }
    int slot = t_.currentDevice();
    if (!t_.table.holdsDevice(slot) || t_.table.record(slot).CommEnabled == 0) {
        t_.tellDisabledForCommunication();
        return;
    }
    runner_.stepCount = steps;
    runner_.start();
    model.closed = true;
    model.changed();
}

void FrmProg::cmdCancel_Click() {
    model.closed = true;
    model.changed();
}

void FrmProg::chkLoop_Click(bool checked) {
    runner_.loop = checked;
    model.chkLoop.checked = checked;
    model.changed();
}

} // namespace kvt::monitor
