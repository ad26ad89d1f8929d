#pragma once

#include <cstdint>
#include <string>

namespace kvt::config {

// One configured device; the fields in setup.dat order. The initialisers are the values of a
// newly added device (Number and Address are entered by the operator).
struct DeviceRecord {
    std::string Number;
    std::string Address;
    std::string Name = "KVT";
    std::int16_t GasTable = 0;
    std::int16_t EngUnit = 1;
    double UserEuFactor = 1.0;
    std::int16_t InputMode = 0;
    std::int16_t ValveMode = 0;
    double SetPoint = 0.0;
    std::int16_t TotalizerEnabled = 0;
    double TotalizerStartFlow = 10.0;
    double TotalizerStopTotal = 10000.0;
    std::int16_t TotalizerAction = 0;
    std::int16_t AlarmEnabled = 0;
    double AlarmHigh = 2.0;
    double AlarmLow = 2.0;
    std::int16_t AlarmUpdateRate = 1;
    std::int16_t Relay1Action = 0;
    std::int16_t Relay2Action = 0;
    std::int16_t KFactorSource = 0;
    std::int32_t KFactorIndex = 1;
    double UserKFactor = 1.0;
    std::int16_t CommEnabled = 0;

    bool operator==(const DeviceRecord&) const = default;
};

// Run-time values read from a device; never saved. The initialisers are the values after loading.
struct DeviceStatus {
    double FullScale = 100.0;
    std::int16_t AutoZeroState = 0;
    std::int16_t AlarmState = 0;
    double Flow = 0.0;
    double Total = 0.0;
    std::int16_t SetPointPending = 0;

    bool operator==(const DeviceStatus&) const = default;
};

} // namespace kvt::config
