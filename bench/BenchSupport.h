#pragma once

// What the benchmark programs share: CPU and wall clocks, percentiles, and a host without anybody
// at the keyboard (every question answered Yes, every box OK, no dialog shown).

#include "monitor/DialogHost.h"
#include "platform/Operator.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace kvt::bench {

inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

inline double monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// The value at fraction p (0..1) of the sorted values; 0 for none.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

class BenchOperator final : public platform::Operator {
public:
    platform::Answer message(const platform::Message& m) override {
        ++boxes;
        last = m.text;
        if (printBoxes)
            std::fprintf(stderr, "box: %s\n", m.text.c_str());
        return m.buttons == platform::Buttons::YesNo || m.buttons == platform::Buttons::YesNoCancel
                   ? platform::Answer::Yes
                   : platform::Answer::Ok;
    }
    std::string input(const std::string&, const std::string&, const std::string& d) override {
        return d;
    }
    std::optional<std::string> chooseFile(const platform::FileRequest&) override { return file; }
    void beep() override {}

    int boxes = 0;
    std::string last;
    bool printBoxes = false;
    std::optional<std::string> file; // what every file chooser picks
};

class NoDialogs final : public monitor::DialogHost {
public:
    void showProperties(monitor::FrmProperties&) override {}
    void showAbout() override {}
    void showDeviceProperties(monitor::FrmDProp&) override {}
    void showProgram(monitor::FrmProg&) override {}
};

} // namespace kvt::bench
