#pragma once

#include "monitor/Controls.h"
#include "monitor/SetPointProgram.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kvt::monitor {

class FrmTerminal;

// The program panel fraProg of the main window, shown while a program runs.
struct ProgramPanelModel : Observable {
    Control lblStep;
    Control lblVtA;
    Control lblDur;
    Control lblRe;
    Control lblEU1;
    Control lblTest;
    int ProgressBar2 = 0; // 0..100, % of full scale
    Control chkLoop{.caption = "Program Loop", .visible = false};
    Control Command1{.caption = "Quit"};

    template <typename F> void forEachControl(F&& f) {
        f("lblStep", lblStep);
        f("lblVtA", lblVtA);
        f("lblDur", lblDur);
        f("lblRe", lblRe);
        f("lblEU1", lblEU1);
        f("lblTest", lblTest);
        f("chkLoop", chkLoop);
        f("Command1", Command1);
    }
};

// The set-point program runner: the program table, its flags and the run itself, paced by the
// 200 ms tick Timer7 and started by Timer9 once the "Program Mode" dialog has closed.
class ProgramRunner {
public:
    // Registers "Program Mode" and the two timers' ticks.
    explicit ProgramRunner(FrmTerminal& terminal);

    SetPointProgram table;
    int stepCount = 12;
    bool loop = false;
    bool quit = false;
    bool tick = false;
    std::string programFile; // the file last loaded or saved
    ProgramPanelModel panel;

    bool running() const { return running_; }
    // The dialog's Run: the runner starts 50 ms later, after the dialog has gone.
    void start();
    void Timer9_Timer();
    // Panel actions.
    void chkLoop_Click(bool checked);
    void Command1_Click();
    // The main window is closing: the run ends at its next test.
    void stopForClose();

    static constexpr double kTickSeconds = 0.2;
    static constexpr double kDeadband = 0.1;

private:
    void run();
    // One step of a pass; false when the run must end (quit, port gone, program closing).
    bool runStep(int index);
    void sendSetPoint(double value, bool zeroTimeStep);
    void showConfirmed(double percent);
    void showConfirmedBar(double percent);
    void lockWindow(bool locked);
    bool goesOn() const;
    // One exchange of the run with the device.
    std::optional<std::string> ask(std::string_view body);

    FrmTerminal& t_;
    bool running_ = false;
    int slot_ = 0;
    double fullScale_ = 100;      // current full scale of the device, in its unit
    double current_ = 0;          // the set point last sent, % of full scale
    double rampStart_ = 0;        // where the next step's ramp is measured from
    bool silentReported_ = false; // "No connection!" shown since the last reply
};

// The "Program Mode" dialog frmProg.
struct FrmProgModel : Observable {
    Control frmProg{.caption = "Program Mode"};
    std::array<Control, SetPointProgram::kRows> txtSP{};
    std::array<Control, SetPointProgram::kRows> txtTime{};
    Control txtEndStep{.caption = "12"};
    Control chkLoop{.caption = "Loop", .toolTip = "Programm Loop Mode"};
    bool closed = false; // Run or Cancel has closed the dialog

    template <typename F> void forEachControl(F&& f) {
        f("frmProg", frmProg);
        for (int i = 0; i < SetPointProgram::kRows; ++i) {
            f("txtSP(" + std::to_string(i) + ")", txtSP[i]);
            f("txtTime(" + std::to_string(i) + ")", txtTime[i]);
        }
        f("txtEndStep", txtEndStep);
        f("chkLoop", chkLoop);
    }
};

class FrmProg {
public:
    FrmProg(FrmTerminal& terminal, ProgramRunner& runner);
    FrmProgModel model;

    void Form_Load();
    // Key rules of the boxes: true when the character may go into the box. A refused character
    // other than Enter is told to the operator.
    bool txtSP_KeyPress(int code);
    bool txtTime_KeyPress(int code);
    bool txtEndStep_KeyPress(int code);
    // Pasted text keeps only what could have been typed.
    static std::string keepTypable(const std::string& text, bool allowPoint);

    void cmdLoad_Click();
    void cmdSave_Click();
    void cmdRun_Click();
    void cmdCancel_Click();
    void chkLoop_Click(bool checked);

    static constexpr const char* kCaption = "Program Mode";
    static constexpr const char* kFilter = "Program Files (*.PRG)|*.prg|All Files (*.*)|*.*";

private:
    bool keyPress(int code, bool allowPoint);
    SetPointProgram fromBoxes() const;
    void toBoxes(const SetPointProgram& program);
    void showFile(const std::string& path);
    std::string folder() const;

    FrmTerminal& t_;
    ProgramRunner& runner_;
};

} // namespace kvt::monitor
