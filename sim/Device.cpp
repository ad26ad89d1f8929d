#include "sim/Device.h"

#include "sim/Text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

namespace kvt::sim {

namespace {

const char* const kError = "?";
const char* const kLocked = "BackDoorLocked";

// Unit tokens as sent after "u," (lower case) and their factor from SLPM; rows 0 (%) and 9 (user)
// depend on the device.
struct UnitRow {
    const char* token;
    double factor;
    double volumeFactor; // total in the unit's volume per standard litre
};
const std::array<UnitRow, 10> kUnits = {{
    {"%", 0.0, 0.0},
    {"slpm", 1.0, 1.0},
    {"slph", 60.0, 1.0},
    {"mlpm", 1000.0, 1000.0},
    {"mlph", 60000.0, 1000.0},
    {"scfh", 2.1189, 0.035315},
    {"scfm", 0.035315, 0.035315},
    {"lbph", 0.13245, 0.0022075},
    {"lbpm", 0.0022075, 0.0022075},
    {"ud", 0.0, 0.0},
}};

const std::array<const char*, 10> kDensities = {"1.2506", "1.2929", "1.7837", "1.4290", "0.1786",
                                                "0.0899", "1.9770", "0.7167", "2.0098", "1.9780"};

// Sensor-zero DAC to raw sensor counts; the zero procedure moves the DAC while watching them.
constexpr double kZeroDacGain = 0.5;
constexpr int kZeroPointCounts = 120;
constexpr double kSensorSpanCounts = 2880.0;
// Analog input: 0 V reads 200 counts, 5 V reads 3800.
constexpr double kAdcOffsetCounts = 200.0;
constexpr double kAdcSpanCounts = 3600.0;
constexpr double kMaxSetPointFraction = 1.1;

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int clampCounts(double v) {
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(std::lround(std::clamp(v, 0.0, 4095.0)));
}

// Sensor response to a flow fraction: slightly bent, rising over the whole range.
double sensorCurve(double fraction, double gain) {
    double f = std::max(0.0, fraction);
    return kZeroPointCounts + gain * kSensorSpanCounts * (1.15 * f - 0.15 * f * f);
}

} // namespace

Device::Device(DeviceOptions options) : options_(std::move(options)), rng_(options_.seed) {
    const std::string& a = options_.address;
    if (a.size() != 2 || !isHex(a[0]) || !isHex(a[1]) || a == "00")
        throw std::invalid_argument("device address must be two hex characters, not 00: " + a);
    address_ = text::upper(a);
    if (!(options_.fullScaleSlpm > 0.0) || !std::isfinite(options_.fullScaleSlpm))
        throw std::invalid_argument("full scale must be a positive number");
    if (options_.unitIndex < 0 || options_.unitIndex > 9)
        throw std::invalid_argument("unit index must be 0..9");
    if (options_.gasTable < 0 || options_.gasTable > 9)
        throw std::invalid_argument("gas table must be 0..9");
    if (!(options_.userUnitFactor > 0.0) || !std::isfinite(options_.userUnitFactor))
        throw std::invalid_argument("user unit factor must be a positive number");
    if (!(options_.timeConstant > 0.0) || !std::isfinite(options_.timeConstant))
        throw std::invalid_argument("time constant must be a positive number");
    if (!(options_.noisePercent >= 0.0) || !std::isfinite(options_.noisePercent))
        throw std::invalid_argument("noise must be zero or positive");
    if (!(options_.zeroingSeconds > 0.0) || !(options_.autoTuneSeconds > 0.0))
        throw std::invalid_argument("zeroing and auto-tune must take some time");
    if (options_.serialNumber.empty())
        options_.serialNumber = "KV2300" + address_;

    fullScale_ = options_.fullScaleSlpm;
    unit_ = options_.unitIndex;
    userFactor_ = options_.userUnitFactor;
    gas_ = options_.gasTable;

    // The unit's own constants come from the seed, apart from the noise sequence.
    Rng make(options_.seed * 0x2545F4914F6CDD1Dull + 7);
    sensorGain_ = make.uniform(0.96, 1.04);
    idealZeroDac_ = 2047 + static_cast<int>(std::lround(make.uniform(-40.0, 40.0)));
    valveCrackCounts_ = static_cast<int>(std::lround(make.uniform(850.0, 1000.0)));
    valveFullCounts_ = static_cast<int>(std::lround(make.uniform(2400.0, 2800.0)));
    int drift = static_cast<int>(std::lround(make.uniform(8.0, 20.0)));
    dac_[0] = idealZeroDac_ + (make.uniform() < 0.5 ? -drift : drift);
    timerBaseHours_ = std::round(make.uniform(100.0, 5000.0) * 10.0) / 10.0;

    common_.fill("0");
    common_[0] = "1.07";
    common_[1] = options_.serialNumber;
    common_[2] = text::shortest(fullScale_);
    common_[3] = address_;
    common_[4] = std::to_string(dac_[0]);
    common_[6] = "0.000000";
    common_[7] = "9600";
    common_[8] = text::fixed(1.0 / kAdcSpanCounts, 6);
    common_[9] = text::fixed(-kAdcOffsetCounts / kAdcSpanCounts, 6);
    common_[10] = text::fixed(1.0 / 2880.0, 6);
    common_[11] = text::fixed(-920.0 / 2880.0, 6);
    common_[12] = "4000.000000";
    common_[13] = "200.000000";
    // Valve table: entry 9 a fifth above the drive that gives full scale, as the valve table
    // procedure builds it.
    int top = static_cast<int>(std::lround(valveFullCounts_ * 1.2));
    int step = top < 2000 ? 100 : (top <= 3000 ? 150 : 200);
    for (int k = 9; k >= 1; --k)
        common_[40 + 2 * k] = std::to_string(top - (9 - k) * step);
    common_[40] = "0";

    for (int g = 0; g < 10; ++g) {
        auto& b = perGas_[g];
        b.fill("0");
        b[0] = options_.gasNames[g];
        b[1] = text::shortest(fullScale_);
        b[2] = "70";
        b[3] = "14.696";
        b[4] = kDensities[g];
        b[5] = options_.gasNames[g];
        b[6] = "KVT";
        b[7] = "Factory";
        b[8] = "2024-01-15";
        b[9] = "2025-01-15";
        b[10] = "1.200";
        b[11] = "0.350";
        b[12] = "0.050";
        b[13] = std::to_string(kZeroPointCounts);
        b[14] = "0.0";
        for (int k = 0; k < 10; ++k) {
            double f = (k + 1) / 10.0;
            b[15 + 2 * k] = std::to_string(std::lround(sensorCurve(f, sensorGain_)));
            b[16 + 2 * k] = text::fixed(f, 1);
        }
    }
}

// ---- time -------------------------------------------------------------------------------------

void Device::advance(double now) {
    if (!std::isfinite(now))
        return;
    if (!clockStarted_) {
        clockStarted_ = true;
        now_ = now;
        timerResetAt_ = now;
        return;
    }
    if (!(now > now_))
        return;
    double remaining = now - now_;
    while (remaining > 0.0) {
        double target = targetFlowSlpm();
        bool settled = std::abs(flowSlpm_ - target) <= 1e-9 * fullScale_;
        // Small steps while the flow moves (totalizer threshold, stop total); one step once
        // settled.
        double h = settled ? remaining : std::min(remaining, 0.02);
        double before = now_;
        step(h);
        double used = now_ - before;
        if (!(used > 0.0))
            break;
        remaining -= used;
        finishProcesses();
    }
    now_ = now;
    finishProcesses();
}

void Device::step(double h) {
    double target = targetFlowSlpm();
    double tau = options_.timeConstant;
    double flow0 = flowSlpm_;
    double threshold = std::max(totStartPercent_ / 100.0 * fullScale_, 1e-6 * fullScale_);
    bool counting = totEnabled_ && flow0 > threshold;
    double e = std::exp(-h / tau);
    double litres = (target * h + (flow0 - target) * tau * (1.0 - e)) / 60.0;
    if (counting && totStopLitres_ > 0.0 && totalLitres_ >= totStopLitres_) {
        // A limit set below the present total stops at once and keeps the total.
        stopTotalizer();
    } else if (counting && totStopLitres_ > 0.0 && totalLitres_ + litres >= totStopLitres_) {
        // Stop where the total is reached, so the valve closes then and not a step later.
        double need = totStopLitres_ - totalLitres_;
        double mean = litres / h * 60.0;
        if (mean > 0.0)
            h = std::clamp(need * 60.0 / mean, 0.0, h);
        e = std::exp(-h / tau);
        totalLitres_ = totStopLitres_;
        stopTotalizer();
    } else if (counting) {
        totalLitres_ += std::max(0.0, litres);
    }
    flowSlpm_ = target + (flow0 - target) * e;
    // Settled is settled: a closed valve reads exactly nothing.
    if (std::abs(flowSlpm_ - target) <= 1e-9 * fullScale_)
        flowSlpm_ = target;
    // A step cut to zero still has to move the clock, or the loop would not end.
    now_ += std::max(h, 1e-9);
}

void Device::stopTotalizer() {
    totEnabled_ = false;
    if (totStopCloses_)
        valve_ = ValveMode::Closed;
}

void Device::finishProcesses() {
    if (zeroingUntil_ >= 0.0 && now_ >= zeroingUntil_) {
        zeroingUntil_ = -1.0;
        dac_[0] = idealZeroDac_;
        common_[4] = std::to_string(dac_[0]);
    }
    if (tuning_ && now_ >= tuneEnd_) {
        tuning_ = false;
        for (int i = 0; i < 3; ++i)
            cell(110 + i) = text::fixed(tuneTo_[i], 3);
    }
}

double Device::valveCurveFraction(int counts) const {
    double f = static_cast<double>(counts - valveCrackCounts_) /
               static_cast<double>(valveFullCounts_ - valveCrackCounts_);
    return std::clamp(f, 0.0, 1.25);
}

int Device::valveCountsForFraction(double fraction) const {
    if (fraction <= 0.0)
        return 0;
    return clampCounts(valveCrackCounts_ + fraction * (valveFullCounts_ - valveCrackCounts_));
}

double Device::effectiveSetPointSlpm() const {
    if (tuning_)
        return std::clamp(tuneSetPointFraction_, 0.0, 1.0) * fullScale_;
    if (digitalInput_)
        return setPointSlpm_;
    double fraction = adcCounts() * cellNumber(8) + cellNumber(9);
    if (!std::isfinite(fraction))
        fraction = 0.0;
    return std::clamp(fraction, 0.0, kMaxSetPointFraction) * fullScale_;
}

double Device::targetFlowSlpm() const {
    switch (valve_) {
    case ValveMode::Closed:
        return 0.0;
    case ValveMode::Open:
        return fullScale_;
    case ValveMode::Auto:
        break;
    }
    if (updateDisabled_)
        return valveCurveFraction(dac_[2]) * fullScale_;
    return effectiveSetPointSlpm();
}

double Device::unitFactor() const {
    if (unit_ == 0)
        return 100.0 / fullScale_;
    if (unit_ == 9)
        return userFactor_;
    return kUnits[unit_].factor;
}

double Device::volumeFactor() const {
    if (unit_ == 0)
        return 6000.0 / fullScale_; // % of full scale times seconds
    if (unit_ == 9)
        return userFactor_;
    return kUnits[unit_].volumeFactor;
}

double Device::maintenanceHours() const {
    return timerBaseHours_ + std::max(0.0, now_ - timerResetAt_) / 3600.0;
}

// ---- state readers ----------------------------------------------------------------------------

std::string& Device::cell(int n) {
    return n < 100 ? common_[n] : perGas_[gas_][n - 100];
}

const std::string& Device::cell(int n) const {
    return n < 100 ? common_[n] : perGas_[gas_][n - 100];
}

double Device::cellNumber(int n) const {
    return text::leadingNumber(cell(n));
}

std::string Device::eeprom(int n) const {
    if (n == kBackDoorVariable)
        return backDoor_ ? "1" : "0";
    if (n < 0 || n >= kEepromSize)
        return {};
    return cell(n);
}

int Device::dac(int channel) const {
    if (channel < 0 || channel > 2)
        return 0;
    return dac_[channel];
}

AlarmState Device::alarmState() const {
    // Deviation from what the device is asked to hold, whatever keeps the flow away from it.
    double deviation = (flowSlpm_ - effectiveSetPointSlpm()) / fullScale_ * 100.0;
    if (alarmHighOn_ && deviation > alarmHighPercent_)
        return AlarmState::High;
    if (alarmLowOn_ && -deviation > alarmLowPercent_)
        return AlarmState::Low;
    return AlarmState::None;
}

char Device::relayAction(int relay) const {
    if (relay < 1 || relay > 2)
        return 0;
    return relays_[relay - 1];
}

void Device::setAnalogInput(double fraction) {
    analogInput_ = std::isfinite(fraction) ? std::clamp(fraction, -0.05, 1.1) : 0.0;
}

int Device::adcCounts() const {
    return clampCounts(kAdcOffsetCounts + analogInput_ * kAdcSpanCounts);
}

int Device::sensorCompensatedCounts() const {
    return clampCounts(sensorCurve(flowSlpm_ / fullScale_, sensorGain_));
}

int Device::sensorAverageCounts() const {
    return clampCounts(sensorCurve(flowSlpm_ / fullScale_, sensorGain_) +
                       (dac_[0] - idealZeroDac_) * kZeroDacGain);
}

// ---- commands ---------------------------------------------------------------------------------

void Device::scriptFault(std::string bodyPrefix, Fault fault) {
    faults_.emplace_back(std::move(bodyPrefix), std::move(fault));
}

namespace {

// Each comma-separated field that is a number, in its shortest form.
std::string normaliseNumbers(const std::string& reply) {
    std::string out;
    bool first = true;
    for (const auto& field : text::split(reply, ',')) {
        auto v = text::parseNumber(field);
        if (!first)
            out += ',';
        out += v ? text::shortest(*v) : field;
        first = false;
    }
    return out;
}

} // namespace

std::string Device::handle(std::string_view body, double now) {
    advance(now);
    commandsSeen_.emplace_back(body);
    replyDelay_ = 0.0;
    std::string reply = dispatch(body, now);
    if (reply.empty())
        reply = kError;
    for (auto& [prefix, fault] : faults_) {
        if (fault.times == 0 || body.substr(0, prefix.size()) != prefix)
            continue;
        if (fault.times > 0)
            --fault.times;
        switch (fault.kind) {
        case Fault::Kind::Silence:
            return {};
        case Fault::Kind::Late:
            replyDelay_ = fault.delaySeconds;
            return reply;
        case Fault::Kind::Wrong:
            return fault.reply;
        case Fault::Kind::NormalisedEcho:
            return normaliseNumbers(reply);
        }
    }
    return reply;
}

std::string Device::dispatch(std::string_view body, double now) {
    std::vector<std::string> f = text::split(body, ',');
    for (auto& field : f)
        field = text::lower(text::trim(field));
    const std::string& cmd = f[0];
    const std::size_t n = f.size();

    if (cmd == "f" && n == 1)
        return flowReply();
    if (cmd == "e" && n == 1)
        return text::shortest(fullScale_);
    if (cmd == "s")
        return setPointCommand(f);
    if (cmd == "m" && n == 2) {
        if (f[1] == "a" || f[1] == "d") {
            digitalInput_ = f[1] == "d";
            return digitalInput_ ? "MD" : "MA";
        }
        if (f[1] == "s")
            return digitalInput_ ? "MD" : "MA";
        return kError;
    }
    if (cmd == "v" && n == 2) {
        if (f[1] == "a")
            valve_ = ValveMode::Auto;
        else if (f[1] == "c")
            valve_ = ValveMode::Closed;
        else if (f[1] == "o")
            valve_ = ValveMode::Open;
        else if (f[1] != "s")
            return kError;
        return valve_ == ValveMode::Auto ? "VA" : (valve_ == ValveMode::Open ? "VO" : "VC");
    }
    if (cmd == "g" && n == 2) {
        auto g = text::parseInteger(f[1]);
        if (!g || *g < 0 || *g > 9)
            return kError;
        gas_ = static_cast<int>(*g);
        return "G" + std::to_string(gas_);
    }
    if (cmd == "u" || cmd == "ud")
        return unitCommand(f);
    if (cmd == "t")
        return totalizerCommand(f);
    if (cmd == "a")
        return alarmCommand(f);
    if (cmd == "r")
        return relayCommand(f);
    if (cmd == "k")
        return kFactorCommand(f);
    if (cmd == "z")
        return zeroCommand(f, now);
    if (cmd == "c" && n == 2) {
        if (f[1] == "r")
            return text::fixed(maintenanceHours(), 1);
        if (f[1] == "c") {
            timerBaseHours_ = 0.0;
            timerResetAt_ = now_;
            return "CC";
        }
        return kError;
    }
    if (cmd == "mr")
        return memoryRead(f);
    if (cmd == "mw")
        return memoryWrite(body);
    if (cmd == "read")
        return converterRead(f);
    if (cmd == "write")
        return converterWrite(f, body);
    if (cmd == "at")
        return autoTuneCommand(f, now);
    return kError;
}

std::string Device::flowReply() {
    double reading = flowSlpm_;
    if (reading < 1e-4 * fullScale_)
        reading = 0.0;
    else if (reading >= 2e-3 * fullScale_)
        reading += rng_.gaussian() * options_.noisePercent / 100.0 * fullScale_;
    return text::fixed(std::max(0.0, toUnit(reading)), 3);
}

std::string Device::setPointCommand(const std::vector<std::string>& f) {
    if (f.size() != 2)
        return kError;
    auto v = text::parseNumber(f[1]);
    if (!v)
        return kError;
    double slpm = std::clamp(*v / unitFactor(), 0.0, kMaxSetPointFraction * fullScale_);
    setPointSlpm_ = slpm;
    return "S" + text::fixed(toUnit(slpm), 3);
}

std::string Device::unitCommand(const std::vector<std::string>& f) {
    // "ud,n" is the short form of "u,ud,n".
    std::vector<std::string> g = f;
    if (g[0] == "ud")
        g.insert(g.begin(), "u");
    if (g.size() < 2)
        return kError;
    if (g[1] != "ud") {
        if (g.size() != 2)
            return kError;
        for (int i = 0; i < 9; ++i) {
            if (g[1] == kUnits[i].token) {
                unit_ = i;
                return "U" + text::upper(g[1]);
            }
        }
        return kError;
    }
    // "u,ud" keeps the factor it has; "u,ud,n" and "u,ud,n,s" set it.
    if (g.size() > 4 || (g.size() == 4 && g[3] != "s"))
        return kError;
    if (g.size() >= 3) {
        auto factor = text::parseNumber(g[2]);
        if (!factor || !(*factor > 0.0))
            return kError;
        userFactor_ = *factor;
    }
    unit_ = 9;
    return "UUD";
}

std::string Device::totalizerCommand(const std::vector<std::string>& f) {
    const std::size_t n = f.size();
    if (n == 2) {
        if (f[1] == "r")
            return text::fixed(totalLitres_ * volumeFactor(), 3);
        if (f[1] == "z") {
            totalLitres_ = 0.0;
            return "TZ";
        }
        if (f[1] == "d") {
            totEnabled_ = false;
            return "TD";
        }
        return kError;
    }
    if (n == 3 && f[1] == "s" && f[2] == "n") {
        totEnabled_ = true;
        totStartPercent_ = 0.0;
        return "TSN";
    }
    if (n == 4 && f[1] == "s" && f[2] == "f") {
        auto v = text::parseNumber(f[3]);
        if (!v || *v > 100.0)
            return kError;
        // A negative start flow is the first half of "stop now": counting ends, the total stays.
        totEnabled_ = *v >= 0.0;
        totStartPercent_ = std::max(0.0, *v);
        return "TSF" + text::shortest(*v);
    }
    if (n == 3 && f[1] == "p" && f[2] == "n") {
        totStopLitres_ = 0.0;
        totStopCloses_ = false;
        return "TPN";
    }
    if (n == 5 && f[1] == "p" && f[2] == "t" && (f[4] == "n" || f[4] == "c")) {
        auto v = text::parseNumber(f[3]);
        if (!v || *v < 0.0)
            return kError;
        // Zero is "no limit" (a download sends the stop total even when none is set).
        totStopLitres_ = *v / volumeFactor();
        totStopCloses_ = f[4] == "c";
        return "TPT";
    }
    return kError;
}

std::string Device::alarmCommand(const std::vector<std::string>& f) {
    if (f.size() == 2 && f[1] == "s") {
        switch (alarmState()) {
        case AlarmState::High:
            return "H";
        case AlarmState::Low:
            return "L";
        case AlarmState::None:
            return "N";
        }
    }
    if (f.size() == 2 && f[1] == "d") {
        alarmHighOn_ = alarmLowOn_ = false;
        return "AD";
    }
    if (f.size() == 3 && (f[1] == "h" || f[1] == "l")) {
        auto v = text::parseNumber(f[2]);
        if (!v || *v < 0.0 || *v > 100.0)
            return kError;
        if (f[1] == "h") {
            alarmHighOn_ = true;
            alarmHighPercent_ = *v;
            return "AH" + text::shortest(*v);
        }
        alarmLowOn_ = true;
        alarmLowPercent_ = *v;
        return "AL" + text::shortest(*v);
    }
    return kError;
}

std::string Device::relayCommand(const std::vector<std::string>& f) {
    if (f.size() != 3)
        return kError;
    auto relay = text::parseInteger(f[1]);
    if (!relay || *relay < 1 || *relay > 2)
        return kError;
    char& action = relays_[*relay - 1];
    if (f[2] == "s")
        return std::string("R") + action;
    if (f[2].size() != 1 || std::string_view("nthlr").find(f[2][0]) == std::string_view::npos)
        return kError;
    action = static_cast<char>(std::toupper(static_cast<unsigned char>(f[2][0])));
    return std::string("R") + action;
}

std::string Device::kFactorCommand(const std::vector<std::string>& f) {
    if (f.size() == 2 && f[1] == "d") {
        kSource_ = 0;
        kFactor_ = 1.0;
        return "KD";
    }
    if (f.size() == 3 && f[1] == "e") {
        auto v = text::parseNumber(f[2]);
        if (!v || !(*v > 0.0) || *v > 100.0)
            return kError;
        kSource_ = 2;
        kFactor_ = *v;
        return "KE" + text::shortest(*v);
    }
    if (f.size() == 3 && f[1] == "i") {
        auto index = text::parseInteger(f[2]);
        if (!index || *index < 0 || *index > 256)
            return kError;
        kSource_ = 1;
        kIndex_ = static_cast<int>(*index);
        // The internal table: gas correction factors between 0.2 and 1.7.
        kFactor_ = 0.2 + static_cast<double>((kIndex_ * 37) % 151) / 100.0;
        return "KI" + std::to_string(kIndex_);
    }
    return kError;
}

std::string Device::zeroCommand(const std::vector<std::string>& f, double now) {
    if (f.size() != 2)
        return kError;
    const std::string& a = f[1];
    if (a == "e" || a == "d") {
        autoZero_ = a == "e";
        return autoZero_ ? "ZE" : "ZD";
    }
    if (a == "s")
        return zeroing() ? "ZNI" : (autoZero_ ? "ZE" : "ZD");
    if (a == "w") {
        common_[4] = std::to_string(dac_[0]);
        return "ZW";
    }
    if (a == "n") {
        if (!zeroing())
            zeroingUntil_ = std::max(now, now_) + options_.zeroingSeconds;
        return "ZN";
    }
    return kError;
}

std::string Device::memoryRead(const std::vector<std::string>& f) {
    if (f.size() != 2)
        return kError;
    auto index = text::parseInteger(f[1]);
    if (!index)
        return kError;
    if (*index == kBackDoorVariable)
        return backDoor_ ? "1" : "0";
    if (*index < 0 || *index >= kEepromSize)
        return kError;
    const std::string& value = cell(static_cast<int>(*index));
    // A stored text is never blank (writes refuse that), so a reply is never mistaken for silence.
    return value.empty() ? std::string(kError) : value;
}

std::string Device::memoryWrite(std::string_view body) {
    // The value is everything after the second comma, exactly as sent: commas and padding blanks
    // belong to it (EEPROM import sends fields padded to 30 characters).
    std::size_t first = body.find(',');
    std::size_t second = first == std::string_view::npos ? first : body.find(',', first + 1);
    if (second == std::string_view::npos)
        return kError;
    auto index = text::parseInteger(body.substr(first + 1, second - first - 1));
    std::string value(body.substr(second + 1));
    if (!index)
        return kError;
    if (*index == kBackDoorVariable) {
        std::string v = text::trim(value);
        if (v == "1") {
            backDoor_ = true;
            return "BackDoorEnabled: Y";
        }
        if (v == "0") {
            backDoor_ = false;
            updateDisabled_ = false;
            return "BackDoorEnabled: N";
        }
        return kError;
    }
    if (*index < 0 || *index >= kEepromSize)
        return kError;
    // A blank value would wipe the cell (an import of an export that got no replies sends just
    // blanks); refuse it so the terminal stops instead of erasing calibration data.
    if (text::trim(value).empty() || value.size() > kMaxValueLength)
        return kError;
    cell(static_cast<int>(*index)) = value;
    return "MW," + std::to_string(*index) + "," + value;
}

std::string Device::converterRead(const std::vector<std::string>& f) {
    if (f.size() != 2)
        return kError;
    auto channel = text::parseInteger(f[1]);
    if (!channel)
        return kError;
    if (!backDoor_)
        return kLocked;
    // Labels are fixed width: the terminal takes the value from a fixed character position.
    switch (*channel) {
    case 1:
        return "ADCinp:" + std::to_string(adcCounts());
    case 2:
        return "SensorAvg: " + std::to_string(sensorAverageCounts());
    case 4:
        return "ZeroDAC:" + std::to_string(dac_[0]);
    case 5: {
        int counts =
            updateDisabled_ ? dac_[1] : clampCounts(flowSlpm_ / fullScale_ * cellNumber(12));
        return "AnalogOut: " + std::to_string(counts);
    }
    case 6: {
        int counts = dac_[2];
        if (!updateDisabled_) {
            if (valve_ == ValveMode::Closed)
                counts = 0;
            else if (valve_ == ValveMode::Open)
                counts = 4095;
            else
                counts = valveCountsForFraction(targetFlowSlpm() / fullScale_);
        }
        return "ValveOut:  " + std::to_string(counts);
    }
    case 7:
        return "SensorComp: " + std::to_string(sensorCompensatedCounts());
    default:
        return kError;
    }
}

std::string Device::converterWrite(const std::vector<std::string>& f, std::string_view body) {
    if (f.size() != 3)
        return kError;
    auto channel = text::parseInteger(f[1]);
    if (!channel)
        return kError;
    if (*channel == 4) {
        if (f[2] != "d" && f[2] != "n")
            return kError;
        if (!backDoor_)
            return kLocked;
        updateDisabled_ = f[2] == "d";
        return updateDisabled_ ? "DisableUpdate: D" : "DisableUpdate: N";
    }
    auto counts = text::parseInteger(f[2]);
    if (*channel < 0 || *channel > 2 || !counts || *counts < 0 || *counts > 4095)
        return kError;
    if (!backDoor_)
        return kLocked;
    dac_[*channel] = static_cast<int>(*counts);
    // The calibration procedures check that the reply begins with what they sent.
    return std::string(body);
}

std::string Device::autoTuneStatus() const {
    std::array<std::string, 3> values;
    if (tuning_) {
        double p = std::clamp((now_ - tuneStart_) / (tuneEnd_ - tuneStart_), 0.0, 1.0);
        for (int i = 0; i < 3; ++i)
            values[i] = text::fixed(tuneFrom_[i] + (tuneTo_[i] - tuneFrom_[i]) * p, 3);
    } else {
        for (int i = 0; i < 3; ++i)
            values[i] = text::trim(cell(110 + i));
    }
    return std::string(tuning_ ? "ATSI" : "ATSD") + "," + values[0] + "," + values[1] + "," +
           values[2];
}

std::string Device::autoTuneCommand(const std::vector<std::string>& f, double now) {
    if (f.size() != 2)
        return kError;
    if (f[1] == "s")
        return autoTuneStatus();
    if (f[1] == "stop") {
        // Aborted: the constants in use stay as they were.
        tuning_ = false;
        return "ATSTOP";
    }
    auto sp = text::parseNumber(f[1]);
    if (!sp || *sp < 0.0 || *sp > 100.0)
        return kError;
    if (!backDoor_)
        return kLocked;
    Rng r(options_.seed * 31 + static_cast<std::uint64_t>(std::lround(*sp * 100.0)));
    for (int i = 0; i < 3; ++i)
        tuneFrom_[i] = cellNumber(110 + i);
    tuneTo_ = {std::round(r.uniform(0.8, 1.6) * 1000.0) / 1000.0,
               std::round(r.uniform(0.1, 0.5) * 1000.0) / 1000.0,
               std::round(r.uniform(0.01, 0.1) * 1000.0) / 1000.0};
    tuneSetPointFraction_ = *sp / 100.0;
    tuneStart_ = std::max(now, now_);
    tuneEnd_ = tuneStart_ + options_.autoTuneSeconds;
    tuning_ = true;
    return "AT" + text::shortest(*sp);
}

} // namespace kvt::sim
