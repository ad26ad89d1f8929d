#pragma once

#include "monitor/Controls.h"
#include "service/ServiceDialogs.h"
#include "service/ServiceLink.h"

#include <memory>
#include <optional>
#include <string>

namespace kvt::service {

// A scroll bar as the logic sees it.
struct ScrollBar {
    int value = 0;
    int min = 0;
    int max = 4095;
    int largeChange = 10;
    bool enabled = true;
};

// "Zero Adjustment (Manual)".
struct FrmZeroMan : monitor::Observable {
    monitor::Control frmZeroMan{.caption = "Zero Adjustment (Manual)"};
    ScrollBar VScroll1{.value = 2047};
    monitor::Control Text1{.caption = "0"};
    monitor::Control Label1{.caption = "120"};
    monitor::Control lblSensor{.caption = "Sensor Counts:"};
    monitor::Control lblZero{.caption = "Zero Counts:"};
    monitor::Control cmdSave{.caption = "&Save"};
    monitor::Control cmdExit{.caption = "&Exit"};

    template <typename F> void forEachControl(F&& f) {
        f("frmZeroMan", frmZeroMan);
        f("Text1", Text1);
        f("Label1", Label1);
        f("cmdSave", cmdSave);
        f("cmdExit", cmdExit);
    }
};

// "&Zero Adjust.": the operator moves the sensor-zero DAC while watching the averaged sensor
// reading, then stores the zero in the device.
class ZeroAdjust {
public:
    ZeroAdjust(ServiceLink& link, ServiceDialogs& dialogs);

    FrmZeroMan model;

    void run();

    // Load: opens the back door, closes the valve, reads the zero DAC, starts Timer1.
    void Form_Load();
    // What the window forwards. An operator move of the bar (never a move made from here).
    void VScroll1_Change(int value);
    // The text as typed so far (digits only get through the key filter).
    void Text1_Change(const std::string& text);
    // False: the key is swallowed. Enter is swallowed and sends the typed value.
    bool Text1_KeyPress(int key);
    void cmdSave_Click();
    void cmdExit_Click();
    // Title bar, Esc, Alt+F4: the same as Exit.
    void Form_QueryUnload() { cmdExit_Click(); }

    bool closed() const { return closed_; }
    platform::Timer& Timer1() { return *timer1_; }

    static constexpr double kPollSeconds = 2.0;
    static constexpr int kMaxTimeouts = 3;

private:
    void Timer1_Timer();
    // Sends the bar's value, merging moves made while a write is in flight.
    void writeZero(int value);
    // Stop flag set: store the zero when asked, wait, restore the valve, close.
    void finish();
    bool restoreValve();

    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    std::unique_ptr<platform::Timer> timer1_;
    bool stop_ = false;
    bool saveAsked_ = false;
    bool polling_ = false;
    bool writing_ = false;
    bool finishing_ = false;
    std::optional<int> pendingZero_;
    bool closed_ = false;
};

inline constexpr const char* kZeroWarning =
    "WARNING: Make sure Unit is powered up at least 30 min.\r        Differential Pressure must "
    "be Zero.\r    Do you want to Readjust Zero?   ";
inline constexpr const char* kZeroSilentText =
    "No reply to three sensor readings in a row. The reading is stopped.\rCheck connection and "
    "try again!";
inline constexpr const char* kZeroRangeText = "The zero counts must be a number from 0 to 4095.";

// "You can use only numerical characters [0-9]!" with the key's code.
std::string numbersOnlyText(int key);

} // namespace kvt::service
