#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvt::monitor {

class FrmTerminal;

// Single-unit monitoring: the current device's reading, set point, valve, totalizer and alarm,
// refreshed by the sampling timer Timer4 ("Auto&Single", toolbar "StartAS").
class SingleUnitMonitor {
public:
    // Registers the menu entry, the toolbar button and Timer4's tick.
    explicit SingleUnitMonitor(FrmTerminal& terminal);

    bool running() const;
    void toggle();
    void Timer4_Timer();

    // The current device is about to change while the mode runs: false refuses the change (a
    // device disabled for communication). deviceChanged() follows a change that went through.
    bool deviceChanging(int slot);
    void deviceChanged();

    // Operator actions on the panel.
    void txtSetP_Commit(const std::string& text);
    void hscSetP_Change(int position);
    void cmdAContr_Click();
    void cmdTcontr_Click();
    void cmdTReset_Click();

private:
    void cycle(int slot);
    // One exchange of a cycle.
    std::optional<std::string> ask(int slot, std::string_view body);
    // After each exchange of a cycle: the mode still runs, the port is open, the device is the
    // same.
    bool goesOn(int slot) const;
    void layoutAlarm();
    void layoutTotalizer();
    void showDevice();
    // Moving the slider from code: a position that changes counts as a change of the set point.
    void moveSlider(int position);
    void setControlsEnabled(bool enabled);

    FrmTerminal& t_;
    bool cycleRunning_ = false;
    bool alarmDue_ = false;
    double alarmDeadline_ = 0.0; // monotonic seconds
    double totalizerDeadline_ = 0.0;
    bool limitBeep_ = false;
    bool silentReported_ = false; // "No connection!" shown since the last reply
    int shownAlarm_ = 0;
    int shownTotalizer_ = 0;
};

} // namespace kvt::monitor
