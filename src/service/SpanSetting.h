#pragma once

#include "monitor/Controls.h"
#include "service/ServiceLink.h"

#include <array>
#include <cstdint>
#include <string>

namespace kvt::service {

// The topmost window that shows the live compensated reading while the operator sets the gain.
struct FrmSetSpan : monitor::Observable {
    monitor::Control frmSetSpan{.caption = "System Monitor - Span Adjustment", .visible = false};
    monitor::Control Label1;
    monitor::Control cmdSave{.caption = "&Save", .enabled = false};
    monitor::Control Command1{.caption = "&Cancel"};

    template <typename F> void forEachControl(F&& f) {
        f("frmSetSpan", frmSetSpan);
        f("Label1", Label1);
        f("cmdSave", cmdSave);
        f("Command1", Command1);
    }
};

// "&Set Span": with full-scale flow applied, the operator adjusts the sensor gain until the
// compensated reading lies in 2500..3650 counts; the gas calibration table is then rebuilt from
// that reading and written to the device.
class SpanSetting {
public:
    SpanSetting(ServiceLink& link, FrmSetSpan& window);

    void run();

    // What the window forwards. Save is taken only once a reading has arrived.
    void cmdSave_Click();
    void Command1_Click();
    // Title bar, Esc, Alt+F4: the same as Cancel.
    void Form_QueryUnload() { Command1_Click(); }

    bool spanSaved() const { return spanSaved_; }

    // The gas table counts from the reading: step (counts - 120) / 10, a half away from zero.
    static std::array<std::int16_t, 10> tableFor(int spanCounts);

    static constexpr int kMinCounts = 2500;
    static constexpr int kMaxCounts = 3650;

private:
    // Reads until Save or Cancel; false after a communication failure (already reported).
    bool readUntilDone();
    // Writes variables 113..134; false after a failure (already reported).
    bool writeTable();

    ServiceLink& link_;
    FrmSetSpan& w_;
    bool spanSaved_ = false;
    bool stop_ = false;
    std::string lastReading_;
};

inline constexpr const char* kSpanHeadline = "Communication Error! Span Setting is terminated!";
inline constexpr const char* kValveHeadline = "Communication Error! Can not control Valve!";

} // namespace kvt::service
