#pragma once

#include "monitor/Controls.h"
#include "service/ServiceDialogs.h"
#include "service/ServiceLink.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kvt::service {

// "PID AutoTune".
struct FrmAutoTune : monitor::Observable {
    monitor::Control frmAutoTune{.caption = "PID AutoTune"};
    monitor::ListControl List1; // set point [%FS]
    std::array<monitor::Control, 3> Text1{monitor::Control{.caption = "0.0"},
                                          monitor::Control{.caption = "0.0"},
                                          monitor::Control{.caption = "0.0"}};
    std::array<bool, 3> locked{true, true, true};
    std::array<monitor::Control, 2> Option1{monitor::Control{.caption = "AutoTune"},
                                            monitor::Control{.caption = "Manual Tune"}};
    monitor::Control cmdStart{.caption = "&Start"};
    monitor::Control cmdStop{.caption = "S&top"};
    monitor::Control cmdExit{.caption = "&Exit"};
    monitor::Control lblMsg;

    template <typename F> void forEachControl(F&& f) {
        f("frmAutoTune", frmAutoTune);
        for (std::size_t i = 0; i < Text1.size(); ++i)
            f("Text1_" + std::to_string(i), Text1[i]);
        for (std::size_t i = 0; i < Option1.size(); ++i)
            f("Option1_" + std::to_string(i), Option1[i]);
        f("cmdStart", cmdStart);
        f("cmdStop", cmdStop);
        f("cmdExit", cmdExit);
        f("lblMsg", lblMsg);
    }
};

// One "at,s" reply taken apart; nullopt when it does not hold three values after the status.
struct AutoTuneStatus {
    std::string code; // "ATSI", "ATSD", ...
    std::string p, i, d;
};
std::optional<AutoTuneStatus> parseAutoTuneStatus(const std::string& reply);

// "Auto&Tune": the controller tunes its own PID loop at a chosen set point; the constants can also
// be read and set by hand.
class AutoTune {
public:
    AutoTune(ServiceLink& link, ServiceDialogs& dialogs);

    FrmAutoTune model;

    void run();
    void Form_Load();

    void List1_Click(int index);
    void Option1_Click(int index);
    void Text1_Change(int box, const std::string& text);
    // False: the key is swallowed.
    bool Text1_KeyPress(int box, int key);
    // Runs the status poll until the device reports the end, Exit, or three missed replies.
    void cmdStart_Click();
    void cmdStop_Click();
    // Exit and every other close: a running tuning is stopped on the device first.
    void cmdExit_Click();
    void Form_QueryUnload() { cmdExit_Click(); }

    bool running() const { return running_; }
    bool closed() const { return closed_; }
    bool manualMode() const { return model.Option1[1].checked; }

    static constexpr int kMaxTimeouts = 3;

private:
    template <typename F> void operation(F&& f);
    void setMode(bool manual);
    void idleControls();
    void handleStatus(const AutoTuneStatus& s);
    void doExit();

    ServiceLink& link_;
    ServiceDialogs& dialogs_;
    std::int16_t errors_ = 0;
    std::array<bool, 3> filled_{}; // the load or the operator put a value there
    bool running_ = false;
    bool tuningStarted_ = false; // the device was told to tune and has not said it is done
    bool busyOp_ = false;
    bool stopBusy_ = false;
    bool exitRequested_ = false;
    bool closed_ = false;
    std::string statusLine_;
    std::string closingLine_;
};

inline constexpr const char* kAutoTunePrompt =
    "Apply desired inlet pressure (Max. Differential 50 PSI), make sure hardware valve control is "
    "in Auto and click [Start] button to begin PID Auto Tuning. Click [Exit] button to Quit.";
inline constexpr const char* kAutoTuneSilentText =
    "No reply to three tuning status requests in a row. Watching the tuning is stopped.\rCheck "
    "connection and try again!";
inline constexpr const char* kPidNumberText = "The PID value must be a number.";

} // namespace kvt::service
