// An answer that comes after its command timed out is never taken for the next command's.

#include "link/TransactionEngine.h"
#include "support/SimWorld.h"

#include <gtest/gtest.h>

using namespace kvt;
using kvt::testing::SimWorld;

namespace {

struct Case {
    const char* what;
    sim::LineMode mode;
    const char* first;   // times out, its answer comes late or never
    const char* second;  // sent right after
    double firstLatency; // seconds; < 0: the first answer never comes
    const char* expected;
    bool waitsForLateAnswer;
};

const Case kCases[] = {
    {"RS-232, answer 0.5 s after the time-out", sim::LineMode::Rs232, "m,d", "m,a", 2.5, "MA",
     true},
    {"RS-485, the same device", sim::LineMode::Rs485, "!01,m,d", "!01,m,a", 2.5, "MA", true},
    // 01's "MD" arrives half a second later, while 02's command waits.
    {"RS-485, another device", sim::LineMode::Rs485, "!01,m,d", "!02,m,a", 2.5, "MA", false},
    {"RS-232, silent device that answers again", sim::LineMode::Rs232, "m,d", "m,a", -1, "MA",
     true},
};

} // namespace

TEST(LateReply, NextCommandGetsItsOwnAnswer) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        SimWorld w(c.mode, c.mode == sim::LineMode::Rs232 ? std::vector<std::string>{"01"}
                                                          : std::vector<std::string>{"01", "02"});
        ASSERT_TRUE(w.ports.openIfClosed());
        w.engine().interfaceRs232 = c.mode == sim::LineMode::Rs232;
        w.port.dropReplies = c.firstLatency < 0;
        w.port.replyLatency = std::max(c.firstLatency, 0.0);
        EXPECT_EQ(w.engine().exchange(c.first), std::string{});
        const double timedOutAt = w.rt.now();
        w.port.dropReplies = false;
        w.port.replyLatency = 0.002;
        EXPECT_EQ(w.engine().exchange(c.second), std::string(c.expected));
        // The wait is one late-answer time at most, and only for the device that timed out.
        const double waited = w.rt.now() - timedOutAt;
        EXPECT_EQ(waited >= link::TransactionEngine::kLateReplyMs / 1000.0, c.waitsForLateAnswer)
            << waited;
        EXPECT_LT(waited, link::TransactionEngine::kLateReplyMs / 1000.0 + 0.1);
        EXPECT_EQ(w.op.texts(), std::vector<std::string>{"No connection!"});
        // The late answer is left on nobody, and the line is clear for the next command.
        w.rt.runFor(3);
        EXPECT_EQ(w.engine().inFlight(), 0u);
        EXPECT_EQ(w.engine().exchange(c.second), std::string(c.expected));
    }
}
