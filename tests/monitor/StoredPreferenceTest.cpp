#include "support/TerminalWorld.h"

#include <gtest/gtest.h>

using namespace kvt;
using namespace kvt::testing;

namespace {

constexpr const char* kApp = "KVT Control Terminal";

// Stored numbers beyond any int are refused as a whole and the default is kept.
TEST(StoredPreference, NumbersBeyondAnIntFallBackToTheDefault) {
    const struct {
        const char* key;
        const char* value;
    } cases[] = {{"CommPort", "1e10"}, {"CommPort", "-1e300"}, {"Handshaking", "1e10"},
                 {"Cur_unit", "1e10"}, {"Cur_unit", "-3e9"},   {"Handshaking", "9e18"}};
    for (const auto& c : cases) {
        TerminalWorld w(sim::LineMode::Rs232, {deviceRecord("1", "01"), deviceRecord("2", "02")});
        const int port = w.port.commPort();
        const int handshaking = w.port.handshaking();
        w.prefs.save(kApp, "Properties", c.key, c.value);
        auto& t = w.terminal();
        t.Form_Load();
        EXPECT_TRUE(w.op.shown.empty()) << c.key << "=" << c.value;
        EXPECT_EQ(w.port.commPort(), port) << c.key << "=" << c.value;
        EXPECT_EQ(w.port.handshaking(), handshaking) << c.key << "=" << c.value;
        EXPECT_EQ(t.currentDevice(), 1) << c.key << "=" << c.value;
    }
}

} // namespace
