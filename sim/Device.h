#pragma once

#include "sim/Rng.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::sim {

enum class LineMode { Rs232, Rs485 };

enum class ValveMode { Closed, Auto, Open };

enum class AlarmState { None, High, Low };

// A scripted misbehaviour for the commands whose body starts with a given text.
struct Fault {
    enum class Kind {
        Silence,        // the command runs but no reply goes out
        Late,           // the reply goes out `delaySeconds` late
        Wrong,          // `reply` is answered instead (the command still runs)
        NormalisedEcho, // numbers in the reply are given in their shortest form ("0.500" -> "0.5")
    };
    Kind kind = Kind::Silence;
    std::string reply;
    double delaySeconds = 0.0;
    int times = -1; // how many matching commands it hits; -1: all

    static Fault silence(int times = -1) { return {Kind::Silence, {}, 0.0, times}; }
    static Fault late(double seconds, int times = -1) { return {Kind::Late, {}, seconds, times}; }
    static Fault wrong(std::string reply, int times = -1) {
        return {Kind::Wrong, std::move(reply), 0.0, times};
    }
    static Fault normalisedEcho(int times = -1) { return {Kind::NormalisedEcho, {}, 0.0, times}; }
};

struct DeviceOptions {
    std::string address = "01";   // two hex characters; stored upper case
    std::string serialNumber;     // EEPROM variable 1; empty gives "KV2300" + address
    double fullScaleSlpm = 100.0; // the "e" reply
    std::uint64_t seed = 1;       // noise and the device's individual constants
    double noisePercent = 0.1;    // flow reading noise, one sigma, in % of full scale
    double timeConstant = 0.4;    // seconds, flow towards its target
    int unitIndex = 1;            // 0 %, 1 SLPM, 2 SLPH, 3 mLPM, 4 mLPH, 5 SCFH, 6 SCFM,
                                  // 7 LBPH, 8 LBPM, 9 user-defined
    double userUnitFactor = 1.0;  // user unit per SLPM
    int gasTable = 0;             // 0..9
    std::array<std::string, 10> gasNames = {"Nitrogen", "Air",          "Argon",          "Oxygen",
                                            "Helium",   "Hydrogen",     "Carbon Dioxide", "Methane",
                                            "Propane",  "Nitrous Oxide"};
    double zeroingSeconds = 4.0;  // "z,n" reports "ZNI" this long
    double autoTuneSeconds = 8.0; // "at,s" reports "ATSI" this long
};

// One flow controller: its settings, its EEPROM and its flow, all advanced by the time passed to
// handle() / advance(). Replies are unframed; the bus adds the line framing.
//
// Service gating: converter reads ("read,n"), DAC writes ("write,c,n") and the output-update switch
// ("write,4,d|n") and the start of an auto-tune ("at," + set point) answer "BackDoorLocked" unless
// the back door is open. "mr,"/"mw," work without it. Closing the back door switches the device's
// own output updating back on, so a procedure that dies half-way cannot leave the valve frozen.
class Device {
public:
    static constexpr int kEepromSize = 137; // variables 0..136
    static constexpr int kBackDoorVariable = 1000;
    static constexpr std::size_t kMaxValueLength = 64; // longest EEPROM text accepted

    explicit Device(DeviceOptions options);

    // Runs one command body (without address prefix or CR) at time `now` (seconds) and returns
    // the reply text. Unknown or malformed commands give "?"; the empty text only when a scripted
    // fault silences the reply.
    std::string handle(std::string_view body, double now);
    // Brings flow, totalizer, zeroing and auto-tune up to `now`. Time that goes backwards is
    // ignored. The first call only sets the device's clock.
    void advance(double now);

    const std::string& address() const { return address_; }
    const DeviceOptions& options() const { return options_; }

    // Faults are tried in the order scripted; the first whose prefix matches the body (exactly,
    // case included) applies.
    void scriptFault(std::string bodyPrefix, Fault fault);
    void clearFaults() { faults_.clear(); }
    // How late the reply to the last command is due, in seconds (a Late fault), else 0.
    double replyDelay() const { return replyDelay_; }
    // Every body this device was asked to run, in order.
    const std::vector<std::string>& commandsSeen() const { return commandsSeen_; }
    void forgetCommandsSeen() {
        commandsSeen_.clear();
        commandsSeen_.shrink_to_fit();
    }

    double setPointSlpm() const { return setPointSlpm_; }
    // The set point in the current engineering unit.
    double setPoint() const { return toUnit(setPointSlpm_); }
    // The flow without measurement noise.
    double flowSlpm() const { return flowSlpm_; }
    ValveMode valveMode() const { return valve_; }
    bool digitalInput() const { return digitalInput_; }
    int unitIndex() const { return unit_; }
    double userUnitFactor() const { return userFactor_; }
    int gasTable() const { return gas_; }

    // EEPROM variable n of the current gas table (100..136 are per gas); "1"/"0" for 1000; the
    // empty text for numbers that do not exist.
    std::string eeprom(int n) const;
    bool backDoorOpen() const { return backDoor_; }
    bool updateDisabled() const { return updateDisabled_; }
    // Counts last written to DAC 0 (sensor zero), 1 (analog output) or 2 (valve output).
    int dac(int channel) const;

    bool totalizerEnabled() const { return totEnabled_; }
    double totalLitres() const { return totalLitres_; }
    double totalizerStartPercent() const { return totStartPercent_; }
    double totalizerStopLitres() const { return totStopLitres_; }
    bool alarmHighEnabled() const { return alarmHighOn_; }
    bool alarmLowEnabled() const { return alarmLowOn_; }
    AlarmState alarmState() const;
    // 'N', 'T', 'H', 'L' or 'R' for relay 1 or 2.
    char relayAction(int relay) const;
    // 0 off (K = 1), 1 internal table, 2 user value.
    int kFactorSource() const { return kSource_; }
    double kFactor() const { return kFactor_; }
    bool autoZeroEnabled() const { return autoZero_; }
    bool zeroing() const { return zeroingUntil_ > now_; }
    bool autoTuning() const { return tuning_; }
    double maintenanceHours() const;

    // The analog set-point input, as a fraction of its range (0 = 0 V / 4 mA, 1 = 5 V / 20 mA).
    void setAnalogInput(double fraction);
    // Counts the ADC reports for the analog input (channel 1).
    int adcCounts() const;
    // Raw and compensated sensor counts (channels 2 and 7).
    int sensorAverageCounts() const;
    int sensorCompensatedCounts() const;

private:
    std::string dispatch(std::string_view body, double now);
    std::string flowReply();
    std::string setPointCommand(const std::vector<std::string>& f);
    std::string unitCommand(const std::vector<std::string>& f);
    std::string totalizerCommand(const std::vector<std::string>& f);
    std::string alarmCommand(const std::vector<std::string>& f);
    std::string relayCommand(const std::vector<std::string>& f);
    std::string kFactorCommand(const std::vector<std::string>& f);
    std::string zeroCommand(const std::vector<std::string>& f, double now);
    std::string memoryRead(const std::vector<std::string>& f);
    std::string memoryWrite(std::string_view body);
    std::string converterRead(const std::vector<std::string>& f);
    std::string converterWrite(const std::vector<std::string>& f, std::string_view body);
    std::string autoTuneCommand(const std::vector<std::string>& f, double now);

    void step(double h);
    void finishProcesses();
    void stopTotalizer();
    double targetFlowSlpm() const;
    double effectiveSetPointSlpm() const;
    double valveCurveFraction(int counts) const;
    int valveCountsForFraction(double fraction) const;
    double unitFactor() const;   // flow in unit per SLPM
    double volumeFactor() const; // total in unit per standard litre
    double toUnit(double slpm) const { return slpm * unitFactor(); }
    std::string& cell(int n);
    const std::string& cell(int n) const;
    double cellNumber(int n) const;
    std::string autoTuneStatus() const;

    DeviceOptions options_;
    std::string address_;
    Rng rng_;
    std::vector<std::string> commandsSeen_;
    std::vector<std::pair<std::string, Fault>> faults_;
    double replyDelay_ = 0.0;

    // Physical constants of this unit (from the seed).
    double fullScale_;
    double sensorGain_;
    int idealZeroDac_;
    int valveCrackCounts_;
    int valveFullCounts_;

    // Settings.
    bool digitalInput_ = true;
    ValveMode valve_ = ValveMode::Auto;
    double setPointSlpm_ = 0.0;
    int unit_ = 1;
    double userFactor_ = 1.0;
    int gas_ = 0;
    bool totEnabled_ = false;
    double totStartPercent_ = 0.0;
    double totStopLitres_ = 0.0; // 0: never stops
    bool totStopCloses_ = false;
    double totalLitres_ = 0.0;
    bool alarmHighOn_ = false;
    bool alarmLowOn_ = false;
    double alarmHighPercent_ = 0.0;
    double alarmLowPercent_ = 0.0;
    std::array<char, 2> relays_ = {'N', 'N'};
    int kSource_ = 0;
    int kIndex_ = 0;
    double kFactor_ = 1.0;
    bool autoZero_ = true;

    // Service state.
    std::array<std::string, 100> common_;                // variables 0..99
    std::array<std::array<std::string, 37>, 10> perGas_; // variables 100..136 of each gas
    bool backDoor_ = false;
    bool updateDisabled_ = false;
    std::array<int, 3> dac_ = {0, 0, 0};
    double analogInput_ = 0.0;

    // Time.
    bool clockStarted_ = false;
    double now_ = 0.0;
    double flowSlpm_ = 0.0;
    double timerBaseHours_ = 0.0;
    double timerResetAt_ = 0.0;
    double zeroingUntil_ = -1.0;
    bool tuning_ = false;
    double tuneStart_ = 0.0;
    double tuneEnd_ = 0.0;
    std::array<double, 3> tuneFrom_ = {0, 0, 0};
    std::array<double, 3> tuneTo_ = {0, 0, 0};
    double tuneSetPointFraction_ = 0.0;
};

} // namespace kvt::sim
