#pragma once

#include <array>

namespace kvt::link {

inline constexpr const char* kApplication = "KVT Control Terminal";

// Monitoring intervals are kept as positions in these lists, not as milliseconds.
inline constexpr std::array<int, 13> kSamplingListMs{50,  100, 200, 300,  400,  500, 600,
                                                     700, 800, 900, 1000, 1500, 2000};
inline constexpr std::array<int, 13> kRecordingListMs{100,  250,   500,   750,   1000,  1500, 2000,
                                                      5000, 10000, 20000, 30000, 40000, 60000};

// Program-wide communication settings, loaded from the preferences at start-up.
struct CommSettings {
    bool echo = false;
    bool interfaceRs232 = true; // false: RS-485 multi-drop, addressed commands
    int singleSamplingCode = 1;
    int singleRecordingCode = 4;
    int multiSamplingCode = 1;
    int multiRecordingCode = 4;
};

} // namespace kvt::link
