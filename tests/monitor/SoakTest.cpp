// Multi-unit monitoring of 64 devices for an hour of virtual time (KVT_SOAK_HOURS for longer),
// with 1 % of the replies lost and 1 % garbled.

#include "support/Soak.h"

#include <gtest/gtest.h>

#include <cstdlib>

using kvt::testing::Soak;

#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST(Soak, SixtyFourDevicesStayInTheirPanelsAndMemoryStaysFlat) {
    const char* env = std::getenv("KVT_SOAK_HOURS");
    const double hours = env ? std::max(0.2, std::atof(env)) : 1.0;
    Soak soak(64, 1.0, 1.0);
    auto f = soak.run(hours, hours / 6);

    EXPECT_EQ(f.misplaced, 0u) << f.firstMisplaced;
    EXPECT_EQ(f.devicesRead, 64u) << "every page was shown and read";
    EXPECT_GE(f.pageTurns, static_cast<std::size_t>(hours * 3600 / Soak::kPageSeconds) - 2);
    // The faults really happened, and the scan went on through them.
    EXPECT_GT(f.dropped, f.replies / 200);
    EXPECT_GT(f.garbled, f.replies / 200);
    EXPECT_GT(f.readingsChecked, f.replies);
    EXPECT_GT(f.replies, static_cast<std::size_t>(hours * 3600 * 10));
    // "No connection!" once a device a run at most; one command on the line at a time.
    EXPECT_GE(f.boxes, 1u);
    EXPECT_LE(f.boxes, 64u);
    EXPECT_LE(f.maxInFlight, 1u);
    EXPECT_LT(f.maxPendingEvents, 64u);
    // What the process holds beyond the trend history (bounded by design to a day) stays put.
    const long growthKb = (f.rssEndKb - f.rssFirstHourKb) -
                          static_cast<long>((f.trendEndBytes - f.trendFirstHourBytes) / 1024);
    // AddressSanitizer keeps freed memory in quarantine, so the resident size says nothing there.
    if (!kAddressSanitizer) {
        EXPECT_LT(growthKb, 2048) << f.rssFirstHourKb << " KiB -> " << f.rssEndKb << " KiB";
    }
    EXPECT_LT(f.trendEndBytes, 64u * 1024 * 1024);
}
