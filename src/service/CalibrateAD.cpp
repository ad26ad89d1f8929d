#include "service/CalibrateAD.h"

#include "link/CommandLine.h"
#include "link/NumberText.h"
#include "link/Vocabulary.h"
#include "monitor/DeviceSync.h"
#include "service/ServiceText.h"

#include <cmath>

namespace kvt::service {

namespace cmd = link::cmd;
namespace token = link::token;

namespace {

const char* const kWarning =
    "WARNING: This will open direct access \rto the ADC / DAC calibration process!\rUse "
    "Carefully, can cause unit to malfunction.\r    Do you want to Calibrate ADC / DAC?    ";
const char* const kPromptTitle = "Click OK to Calibrate, Cancel to Quit.";

struct Texts {
    const char* jumpers;
    const char* adcFull;
    const char* adcZero;
    const char* dacMeasure;
};
const Texts kTexts[2] = {
    {"Make sure interface jumpers are set\rfor 0 to 5 Vdc. Hit [OK] when done.",
     "Apply 5.000 Vdc to the analog input.\r Hit [OK] when done, Cancel to Quit.",
     "Apply 0.000 Vdc to the analog input.\r Hit [OK] when done, Cancel to Quit.",
     "Measure Voltage at DAC output. Enter\rReading in Vdc. Hit [OK] when done, Cancel to Quit."},
    {"Make sure interface jumpers are set\rfor 4 to 20 mA. Hit [OK] when done.",
     "Apply 20.000 mA to the analog input.\r Hit [OK] when done, Cancel to Quit.",
     "Apply 4.000 mA to the analog input.\r Hit [OK] when done, Cancel to Quit.",
     "Measure Current at DAC output. Enter\rReading in mA. Hit [OK] when done, Cancel to Quit."},
};

const std::string kBlanks13(13, ' ');

} // namespace

CalibrateAD::CalibrateAD(ServiceLink& link, ServiceDialogs& dialogs)
    : link_(link), dialogs_(dialogs) {
    link_.terminal().registerMenu("mnuToolsCalibrateAdcDac", [this] { run(); });
}

std::string CalibrateAD::constantText(double v) {
    return formatHalfUp(v, 6);
}

void CalibrateAD::run() {
    if (link_.busy() || !link_.confirm(kWarning) || !link_.canStart())
        return;
    ServiceLink::Session session(link_);
    model = {};
    closed_ = running_ = cancel_ = closeAfter_ = false;
    Form_Load();
    dialogs_.showCalibrateAD(*this);
}

void CalibrateAD::Form_Load() {
    model.OptIntrf[0].checked = true;
    model.OptIntrf[1].checked = false;
    mode_ = 0;
    model.selectedTab = 1;
    model.fraInterf[0].visible = true;
    model.fraInterf[1].visible = false;
    model.changed();
}

void CalibrateAD::OptIntrf_Click(int index) {
    if (running_ || index < 0 || index > 1)
        return;
    mode_ = index;
    model.OptIntrf[0].checked = index == 0;
    model.OptIntrf[1].checked = index == 1;
    model.changed();
}

void CalibrateAD::TabStripADC_Click(int tab) {
    if (running_ || tab < 1 || tab > 2 || tab == model.selectedTab)
        return;
    model.fraInterf[static_cast<std::size_t>(model.selectedTab - 1)].visible = false;
    model.fraInterf[static_cast<std::size_t>(tab - 1)].visible = true;
    model.selectedTab = tab;
    model.changed();
}

void CalibrateAD::cmdCalExit_Click() {
    if (closed_)
        return;
    if (running_) {
        cancel_ = true;
        closeAfter_ = true;
        return;
    }
    closed_ = true;
    model.frmCalibrateAD.visible = false;
    model.changed();
}

void CalibrateAD::setRunning(bool on) {
    running_ = on;
    model.cmdAdcStart.enabled = model.cmdDacStart.enabled = !on;
    model.OptIntrf[0].enabled = model.OptIntrf[1].enabled = !on;
    model.TabStripADC.enabled = !on;
    if (!on)
        model.FraProgBar.visible = false;
    model.changed();
    if (!on && closeAfter_)
        cmdCalExit_Click();
}

bool CalibrateAD::prompt(const std::string& text) {
    if (cancel_)
        return false;
    auto a = link_.terminal().op().message(
        {text, kPromptTitle, platform::Buttons::OkCancel, platform::Icon::Exclamation, 0});
    return a == platform::Answer::Ok && !cancel_;
}

bool CalibrateAD::stableReading(const std::function<void()>& step) {
    model.FraProgBar.visible = true;
    model.ProgressBarADC = 0;
    model.changed();
    for (int counter = 0; counter < 5; ++counter) {
        if (cancel_ || !link_.pause(1.0, [this] { return cancel_; }) || cancel_)
            break;
        if (step)
            step();
        model.ProgressBarADC = counter + 1;
        model.changed();
    }
    model.FraProgBar.visible = false;
    model.changed();
    return !cancel_ && model.ProgressBarADC == 5;
}

std::optional<std::int16_t> CalibrateAD::readAdc(std::string& lastReply) {
    auto reply = link_.exchange(cmd::converterReadLower("1"));
    if (!reply || reply->empty())
        return std::nullopt;
    lastReply = *reply;
    // A reply too short to hold the value, or one without a number there, is no reading.
    std::string text = charsFrom(*reply, 8);
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos ||
        text.find_first_of("0123456789", start) !=
            start + (text[start] == '-' || text[start] == '+' ? 1 : 0))
        return std::nullopt;
    return toInt16(link::leadingNumber(text));
}

void CalibrateAD::cmdAdcStart_Click() {
    if (running_ || closed_)
        return;
    setRunning(true);
    cancel_ = false;
    adc();
    setRunning(false);
}

void CalibrateAD::cmdDacStart_Click() {
    if (running_ || closed_)
        return;
    setRunning(true);
    cancel_ = false;
    dac();
    setRunning(false);
}

void CalibrateAD::adc() {
    const Texts& tx = kTexts[mode_];
    if (!prompt(tx.jumpers) || !prompt(tx.adcFull))
        return;
    model.lblAdcSpan.caption = "ADC Span  :   ";
    model.lblAdcOffset.caption = "ADC Offset :   ";
    model.changed();
    if (!link_.openPort())
        return;
    auto& t = link_.terminal();
    int slot = t.currentDevice();

    // The record and the information panel follow what the device accepted.
    auto reply = link_.exchange(cmd::InputAnalog);
    if (!reply)
        return;
    if (link::matchesExact(*reply, token::InputAnalog)) {
        t.setField(t.table.record(slot).InputMode, 0);
        t.setInfo("lblMode", monitor::DeviceSync::inputModeText(0));
    }
    reply = link_.exchange(cmd::ValveAuto);
    if (!reply)
        return;
    if (link::matchesExact(*reply, token::ValveAuto)) {
        t.setField(t.table.record(slot).ValveMode, 1);
        t.setInfo("lblValveMode", monitor::DeviceSync::valveModeText(1));
        t.showValveMode(1);
    }
    t.finishExchange();
    reply = link_.exchange(cmd::BackDoorOpen);
    if (!reply || *reply != token::BackDoorEnabled)
        return;

    // Each phase starts with no counts; only a reply holding a number counts.
    auto phase = [&](monitor::Control& label, const char* head) -> std::optional<std::int16_t> {
        std::optional<std::int16_t> counts;
        std::string last;
        bool ok = stableReading([&] {
            if (auto c = readAdc(last)) {
                counts = c;
                label.caption = head + std::to_string(*c);
                model.changed();
            }
        });
        if (!ok)
            return std::nullopt;
        if (!counts)
            link_.failure(kCalibrationHeadline, kBracket, last);
        return counts;
    };
    auto span = phase(model.lblAdcSpan, "ADC Span  :   ");
    if (!span || !prompt(tx.adcZero))
        return;
    auto offset = phase(model.lblAdcOffset, "ADC Offset :   ");
    if (!offset)
        return;
    if (*span == *offset) {
        link_.inform("Span and Offset are Equal! Calibration is terminated!\r Make sure correct "
                     "signals are applied to the input!");
        return;
    }
    double spanConstant = 1.0 / (static_cast<double>(*span) - *offset);
    double offsetConstant = (spanConstant * -1) * *offset;
    std::string spanText = constantText(spanConstant);
    std::string offsetText = constantText(offsetConstant);
    model.lblAdcSpan.caption = "ADC Span  :   " + std::to_string(*span) + kBlanks13 + spanText;
    model.lblAdcOffset.caption =
        "ADC Offset :   " + std::to_string(*offset) + kBlanks13 + offsetText;
    model.changed();

    std::string spanBody = mode_ == 0 ? "MW,8," : "MW,10,";
    reply = link_.exchange(spanBody + spanText);
    if (!reply)
        return;
    if (reply->rfind(spanBody, 0) != 0) {
        link_.inform(std::string(kCalibrationHeadline) + "\rCheck connection and try again!  " +
                     *reply + "    " + spanBody);
        return;
    }
    if (!link_.pause(1.0))
        return;
    std::string offsetBody = mode_ == 0 ? "MW,9," : "MW,11,";
    reply = link_.exchange(offsetBody + offsetText);
    if (!reply)
        return;
    if (reply->rfind(offsetBody, 0) != 0) {
        link_.inform(ServiceLink::failureText(kCalibrationHeadline, kBracket, *reply) + "    " +
                     offsetBody);
        return;
    }
    link_.inform("ADC Calibration is Successively  Completed!");
}

std::optional<double> CalibrateAD::measured(std::string& typed) {
    const Texts& tx = kTexts[mode_];
    typed = link_.terminal().op().input(tx.dacMeasure, "Measure Analog Output.", "");
    if (typed.empty() || cancel_)
        return std::nullopt;
    if (!link_.acceptTyped(typed))
        return std::nullopt;
    std::string s = typed;
    for (char& c : s)
        if (c == ',')
            c = '.';
    auto v = link::parseNumber(s);
    if (!v || !std::isfinite(*v) || *v <= 0.0) {
        link_.inform(kMeasuredValueText);
        return std::nullopt;
    }
    return v;
}

void CalibrateAD::dac() {
    const Texts& tx = kTexts[mode_];
    model.lblDacOffset.visible = mode_ == 1;
    model.changed();
    if (!prompt(tx.jumpers))
        return;
    model.lblDacSpan.caption = "DAC Span  :   ";
    model.lblDacOffset.caption = "DAC Offset :   ";
    model.changed();
    if (!link_.openPort())
        return;
    auto reply = link_.exchange(cmd::BackDoorOpen);
    if (!reply || *reply != token::BackDoorEnabled)
        return;

    // From here on, whatever happens, the device's own updating is switched back on.
    struct Restore {
        CalibrateAD& self;
        ~Restore() { self.restoreUpdate(); }
    } restore{*this};

    reply = link_.exchange(cmd::UpdateDisable);
    if (!reply)
        return;
    if (*reply != token::UpdateDisabled) {
        link_.failure(kCalibrationHeadline, kBracket, *reply);
        return;
    }
    auto driveAndMeasure = [&](const char* counts, std::string& typed) -> std::optional<double> {
        auto r = link_.exchange(cmd::dacWrite("1", counts));
        if (!r)
            return std::nullopt;
        if (r->empty()) {
            link_.failure(kCalibrationHeadline, kBracket, *r);
            return std::nullopt;
        }
        if (!stableReading({}))
            return std::nullopt;
        return measured(typed);
    };
    std::string typed;
    auto spanOut = driveAndMeasure("4000", typed);
    if (!spanOut)
        return;
    model.lblDacSpan.caption = "DAC Span  :   " + typed;
    model.changed();
    double spanConstant = (mode_ == 0 ? 20000.0 : 4000.0) / *spanOut;
    std::string spanText = constantText(spanConstant);
    std::string spanBody = mode_ == 0 ? "MW,12," : "MW,13,";
    reply = link_.exchange(spanBody + spanText);
    if (!reply)
        return;
    if (reply->rfind(spanBody, 0) != 0) {
        link_.inform(ServiceLink::failureText(kCalibrationHeadline, kBracket, *reply) + "    " +
                     spanBody);
        return;
    }
    model.lblDacSpan.caption = "DAC Span  :   " + typed + kBlanks13 + spanText;
    model.changed();
    if (mode_ == 1) {
        auto offsetOut = driveAndMeasure("0", typed);
        if (!offsetOut)
            return;
        model.lblDacOffset.caption = "DAC Offset :   " + typed;
        model.changed();
        std::string offsetText = constantText((spanConstant * -1) * *offsetOut);
        const std::string offsetBody = "MW,6,";
        reply = link_.exchange(offsetBody + offsetText);
        if (!reply)
            return;
        if (reply->rfind(offsetBody, 0) != 0) {
            link_.inform(ServiceLink::failureText(kCalibrationHeadline, kBracket, *reply) + "    " +
                         offsetBody);
            return;
        }
        model.lblDacOffset.caption = "DAC Offset  :   " + typed + kBlanks13 + offsetText;
        model.changed();
    }
    link_.inform("DAC Calibration is Successively  Completed!");
}

void CalibrateAD::restoreUpdate() {
    auto reply = link_.exchange(cmd::UpdateEnable);
    if (reply && *reply != token::UpdateEnabled)
        link_.inform(std::string(kUpdateFailedHeadline) + "[" + *reply + "]");
}

} // namespace kvt::service
