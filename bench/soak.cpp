// The full-day soak: 64 devices in multi-unit monitoring at the fastest tick on the simulated
// runtime, every page in turn, 1 % of the replies lost and 1 % garbled. Prints one line a
// virtual hour: real seconds, resident set, trend history, readings checked and misplaced.
//
//   soak [hours=24]

#include "support/Soak.h"
#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    using namespace kvt;
    const double hours = argc > 1 ? std::atof(argv[1]) : 24.0;
    const double wallStart = bench::monotonicNow();
    const double cpuStart = bench::cpuSeconds();
    testing::Soak soak(64, 1.0, 1.0);
    std::printf(
        "hour  real_s  rss_KiB  trend_KiB  replies  dropped  garbled  checked  misplaced\n");
    auto f = soak.run(hours, 1.0, [&](const testing::SoakFigures& s) {
        std::printf("%4.0f  %6.1f  %7ld  %9zu  %7zu  %7zu  %7zu  %7zu  %9zu\n", s.hours,
                    bench::monotonicNow() - wallStart, s.rssEndKb, s.trendEndBytes / 1024,
                    s.replies, s.dropped, s.garbled, s.readingsChecked, s.misplaced);
        std::fflush(stdout);
    });
    std::printf("virtual %.1f h in %.1f s real, %.1f s CPU\n", f.hours,
                bench::monotonicNow() - wallStart, bench::cpuSeconds() - cpuStart);
    std::printf("rss at hour 1 %ld KiB, at the end %ld KiB; trend history %zu -> %zu KiB\n",
                f.rssFirstHourKb, f.rssEndKb, f.trendFirstHourBytes / 1024, f.trendEndBytes / 1024);
    std::printf("page turns %zu, devices read %zu, boxes %zu, most in flight %zu, most pending "
                "events %zu\n",
                f.pageTurns, f.devicesRead, f.boxes, f.maxInFlight, f.maxPendingEvents);
    if (f.misplaced)
        std::printf("MISPLACED %zu, first: %s\n", f.misplaced, f.firstMisplaced.c_str());
    return f.misplaced == 0 ? 0 : 1;
}
