#pragma once

#include "sim/Device.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvt::sim {

// Command line of kvt-devsim.
struct DevsimOptions {
    LineMode mode = LineMode::Rs232;
    std::vector<std::string> addresses = {"01"}; // upper case, distinct
    long baud = 9600;
    std::string link;          // symlink to the slave, empty for none
    double delayMs = 0.0;      // added latency before each reply
    bool silent = false;       // never answer
    double noisePercent = 0.0; // share of replies with garbage mixed in
    std::uint64_t seed = 1;
    double fullScaleSlpm = 100.0;
    bool verbose = false; // commands and replies on stderr
    bool stream = false;  // keep the line busy with text lines, for terminal load tests
    bool help = false;
};

struct DevsimParse {
    std::optional<DevsimOptions> options; // empty on error
    std::string error;
};

// `args` without the program name. Accepts "--name value" and "--name=value".
DevsimParse parseDevsimArguments(const std::vector<std::string>& args);
std::string devsimUsage();
// One DeviceOptions per address; seeds and serial numbers differ between devices.
std::vector<DeviceOptions> deviceOptionsFor(const DevsimOptions& options);

} // namespace kvt::sim
