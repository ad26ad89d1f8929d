#pragma once

#include <string>
#include <string_view>

// The device command set: every body the terminal sends and every reply token it compares with.
// Bodies carry no address prefix and no carriage return.
namespace kvt::link::cmd {

// Reading the device.
inline constexpr std::string_view ReadFlow = "f";
inline constexpr std::string_view ReadFullScale = "e";
inline constexpr std::string_view InputModeStatus = "m,s";
inline constexpr std::string_view ValveModeStatus = "v,s";
inline constexpr std::string_view AutoZeroStatus = "z,s";
inline constexpr std::string_view AlarmStatus = "a,s";
inline constexpr std::string_view ReadTotalizer = "t,r";
inline constexpr std::string_view ReadMaintenanceTimer = "c,r";
inline constexpr std::string_view ReadGasNameLower = "mr,100";
inline constexpr std::string_view ReadGasNameUpper = "MR,100";
inline std::string relayStatus(int relay) {
    return "r," + std::to_string(relay) + ",s";
}
inline std::string memoryRead(std::string_view index) {
    return "mr," + std::string(index);
}
inline std::string converterRead(std::string_view channel) {
    return "Read," + std::string(channel);
}
inline std::string converterReadLower(std::string_view channel) {
    return "read," + std::string(channel);
}

// Changing settings.
inline std::string setPoint(std::string_view value) {
    return "s," + std::string(value);
}
inline constexpr std::string_view InputAnalog = "m,a";
inline constexpr std::string_view InputDigital = "m,d";
inline constexpr std::string_view ValveAuto = "v,a";
inline constexpr std::string_view ValveClosed = "v,c";
inline constexpr std::string_view ValveOpen = "v,o";
inline constexpr std::string_view ValveAutoUpper = "V,A";
inline constexpr std::string_view ValveClosedUpper = "V,C";
inline constexpr std::string_view ValveOpenUpper = "V,O";
inline std::string inputModeDownload(bool digital) {
    return digital ? "M,D" : "M,A";
}
inline std::string gasTable(int index) {
    return "g," + std::to_string(index);
}
inline std::string unit(std::string_view lowerUnit) {
    return "u," + std::string(lowerUnit);
}
inline std::string unitUpper(std::string_view token) {
    return "U," + std::string(token);
}
inline std::string userUnit(std::string_view factor) {
    return "u,ud," + std::string(factor) + ",S";
}
inline std::string userUnitUpper(std::string_view factor) {
    return "UD," + std::string(factor);
}
inline constexpr std::string_view AutoZeroEnable = "z,e";
inline constexpr std::string_view AutoZeroDisable = "z,d";
inline constexpr std::string_view AutoZeroNow = "z,n";
inline constexpr std::string_view AutoZeroStore = "z,w";
inline std::string alarmHigh(std::string_view v) {
    return "a,h," + std::string(v);
}
inline std::string alarmLow(std::string_view v) {
    return "a,l," + std::string(v);
}
inline constexpr std::string_view AlarmOff = "a,d";
inline std::string totalizerStartFlow(std::string_view v) {
    return "t,s,f," + std::string(v);
}
inline constexpr std::string_view TotalizerStartNow = "t,s,n";
inline constexpr std::string_view TotalizerStopNowFirst = "t,s,f,-0.1";
inline std::string totalizerStopTotal(std::string_view total, int action) {
    return "t,p,t," + std::string(total) + (action == 0 ? ",N" : ",C");
}
inline constexpr std::string_view TotalizerNeverStop = "t,p,n";
inline constexpr std::string_view TotalizerOff = "t,d";
inline constexpr std::string_view TotalizerReset = "t,z";
inline constexpr std::string_view MaintenanceReset = "c,c";
inline std::string relayAssign(int relay, char action) {
    return "r," + std::to_string(relay) + "," + std::string(1, action);
}
inline constexpr std::string_view KFactorOff = "k,d";
inline std::string kFactorUser(std::string_view v) {
    return "k,e," + std::string(v);
}
inline std::string kFactorIndex(std::string_view v) {
    return "k,i," + std::string(v);
}

// Service commands.
inline std::string memoryWrite(std::string_view indexAndValue) {
    return "mw," + std::string(indexAndValue);
}
inline std::string memoryWriteUpper(std::string_view index, std::string_view value) {
    return "MW," + std::string(index) + "," + std::string(value);
}
inline constexpr std::string_view BackDoorOpen = "mw,1000,1";
inline constexpr std::string_view BackDoorClose = "mw,1000,0";
inline std::string dacWrite(std::string_view channel, std::string_view counts) {
    return "write," + std::string(channel) + "," + std::string(counts);
}
inline std::string dacWriteUpper(std::string_view channel, std::string_view counts) {
    return "WRITE," + std::string(channel) + "," + std::string(counts);
}
inline constexpr std::string_view UpdateDisable = "write,4,d";
inline constexpr std::string_view UpdateEnable = "write,4,n";
inline constexpr std::string_view UpdateDisableUpper = "WRITE,4,D";
inline constexpr std::string_view UpdateEnableUpper = "WRITE,4,N";
inline std::string autoTuneStart(std::string_view setPoint) {
    return "at," + std::string(setPoint);
}
inline constexpr std::string_view AutoTuneStatus = "at,s";
inline constexpr std::string_view AutoTuneStop = "AT,STOP";
inline constexpr std::string_view SetPointZero = "s,0.0";

} // namespace kvt::link::cmd

namespace kvt::link::token {

inline constexpr std::string_view SetPoint = "S";
inline constexpr std::string_view InputAnalog = "MA";
inline constexpr std::string_view InputDigital = "MD";
inline constexpr std::string_view InputDownload = "M";
inline constexpr std::string_view ValveAuto = "VA";
inline constexpr std::string_view ValveClosed = "VC";
inline constexpr std::string_view ValveOpen = "VO";
inline constexpr std::string_view ValveDownload = "V";
inline std::string gasTable(int index) {
    return "G" + std::to_string(index);
}
inline constexpr std::string_view GasDownload = "G";
inline constexpr std::string_view UnitDownload = "U";
inline constexpr std::string_view UserUnit = "UUD";
inline constexpr std::string_view AutoZeroDisabled = "ZD";
inline constexpr std::string_view AutoZeroEnabled = "ZE";
inline constexpr std::string_view AutoZeroInProgress = "ZNI";
inline constexpr std::string_view AlarmNone = "N";
inline constexpr std::string_view AlarmHighState = "H";
inline constexpr std::string_view AlarmLowState = "L";
inline constexpr std::string_view AlarmHigh = "AH";
inline constexpr std::string_view AlarmLow = "AL";
inline constexpr std::string_view AlarmOff = "AD";
inline constexpr std::string_view TotalizerStart = "TS";
inline constexpr std::string_view TotalizerStartNow = "TSN";
inline constexpr std::string_view TotalizerStopTotal = "TPT";
inline constexpr std::string_view TotalizerNeverStop = "TPN";
inline constexpr std::string_view TotalizerOff = "TD";
inline constexpr std::string_view TotalizerReset = "TZ";
inline constexpr std::string_view RelayDownload = "R";
inline constexpr std::string_view KFactorOff = "KD";
inline constexpr std::string_view KFactorUser = "KE";
inline constexpr std::string_view KFactorIndex = "KI";
inline constexpr std::string_view KFactorDownload = "K";
inline constexpr std::string_view BackDoorEnabled = "BackDoorEnabled: Y";
inline constexpr std::string_view BackDoorDisabled = "BackDoorEnabled: N";
inline constexpr std::string_view UpdateDisabled = "DisableUpdate: D";
inline constexpr std::string_view UpdateEnabled = "DisableUpdate: N";
inline constexpr std::string_view MemoryWrite = "MW";
inline constexpr std::string_view AutoTune = "AT";
inline constexpr std::string_view AutoTuneInProcess = "ATSI";
inline constexpr std::string_view AutoTuneDone = "ATSD";

// "RN", "RT", "RH", "RL", "RR" for the relay actions n, t, h, l, r.
inline std::string relay(char action) {
    return std::string("R") +
           static_cast<char>(action >= 'a' && action <= 'z' ? action - 32 : action);
}
// "U" + the unit in upper case ("U%", "USLPM", ...).
std::string unit(std::string_view lowerUnit);

} // namespace kvt::link::token
