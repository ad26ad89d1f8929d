#pragma once

#include "monitor/Controls.h"
#include "service/ServiceDialogs.h"
#include "service/ServiceLink.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kvt::service {

// "ADC / DAC Calibration".
struct FrmCalibrateAD : monitor::Observable {
    monitor::Control frmCalibrateAD{.caption = "ADC / DAC Calibration"};
    // The tab strip: tab 1 input, tab 2 output.
    monitor::Control TabStripADC;
    int selectedTab = 1;
    std::array<monitor::Control, 2> fraInterf{monitor::Control{},
                                              monitor::Control{.visible = false}};
    monitor::Control cmdAdcStart{.caption = "Start"};
    monitor::Control cmdDacStart{.caption = "Start"};
    monitor::Control lblAdcSpan{.caption = "ADC Span  :"};
    monitor::Control lblAdcOffset{.caption = "ADC Offset :"};
    monitor::Control lblDacSpan{.caption = "DAC Span  :"};
    monitor::Control lblDacOffset{.caption = "DAC Offset :"};
    std::array<monitor::Control, 2> OptIntrf{monitor::Control{.caption = "0 to 5 Vdc"},
                                             monitor::Control{.caption = "4 to 20 mA"}};
    monitor::Control FraProgBar{.caption = "Waiting for stable reading. Standby...",
                                .visible = false};
    int ProgressBarADC = 0; // 0..5
    monitor::Control cmdCalExit{.caption = "Exit"};

    template <typename F> void forEachControl(F&& f) {
        f("frmCalibrateAD", frmCalibrateAD);
        f("TabStripADC", TabStripADC);
        for (std::size_t i = 0; i < fraInterf.size(); ++i)
            f("fraInterf_" + std::to_string(i), fraInterf[i]);
        f("cmdAdcStart", cmdAdcStart);
        f("cmdDacStart", cmdDacStart);
        f("lblAdcSpan", lblAdcSpan);
        f("lblAdcOffset", lblAdcOffset);
        f("lblDacSpan", lblDacSpan);
        f("lblDacOffset", lblDacOffset);
        for (std::size_t i = 0; i < OptIntrf.size(); ++i)
            f("OptIntrf_" + std::to_string(i), OptIntrf[i]);
        f("FraProgBar", FraProgBar);
        f("cmdCalExit", cmdCalExit);
    }
};

// Calibrates the analog set-point input (ADC) and the analog flow output (DAC) for 0 to 5 Vdc or
// 4 to 20 mA and writes the constants to the device.
class CalibrateAD {
public:
    CalibrateAD(ServiceLink& link, ServiceDialogs& dialogs);

    FrmCalibrateAD model;

    void run();
    void Form_Load();

    // What the window forwards; interface and tabs are locked while a procedure runs.
    void OptIntrf_Click(int index);
    void TabStripADC_Click(int tab);
    void cmdAdcStart_Click();
    void cmdDacStart_Click();
    // Exit, the title bar, Esc, Alt+F4: closes, or cancels a running procedure at its next wait
    // and closes once it has ended.
    void cmdCalExit_Click();
    void Form_QueryUnload() { cmdCalExit_Click(); }

    int interfaceMode() const { return mode_; }
    bool running() const { return running_; }
    bool closed() const { return closed_; }

    // The constants as written: "####0.000000" with halves away from zero.
    static std::string constantText(double v);

private:
    // An OK/Cancel prompt; false on Cancel or a cancel request.
    bool prompt(const std::string& text);
    // Five one-second steps; `step` runs each second. False when cancelled or the program closes.
    bool stableReading(const std::function<void()>& step);
    // Counts from a "read,1" reply; nullopt when the reply holds none.
    std::optional<std::int16_t> readAdc(std::string& lastReply);
    void adc();
    void dac();
    // The meter value typed by the operator; nullopt (already explained) when refused.
    std::optional<double> measured(std::string& typed);
    void restoreUpdate();
    void setRunning(bool on);

    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    int mode_ = 0;
    bool running_ = false;
    bool cancel_ = false;
    bool closeAfter_ = false;
    bool closed_ = false;
};

inline constexpr const char* kCalibrationHeadline =
    "Communication Error! Calibration is terminated!";
inline constexpr const char* kMeasuredValueText =
    "The measured value must be a number above zero. Calibration is terminated!";
inline constexpr const char* kUpdateFailedHeadline =
    "Communication Error! Can Not Enable Update!\rController may be locked!";

} // namespace kvt::service
