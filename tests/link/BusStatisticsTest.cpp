#include "link/BusStatistics.h"
#include "link/BusHealthModel.h"
#include "support/SimWorld.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace kvt;
using kvt::link::BusRow;
using kvt::link::BusStatistics;
using kvt::testing::SimWorld;

namespace {

// Two devices on an RS-485 line with the statistics watching the engine.
struct BusWorld : ::testing::Test {
    SimWorld w{sim::LineMode::Rs485, {"01", "1A"}};
    BusStatistics stats{w.rt.clock()};

    void SetUp() override {
        w.engine().setObserver(&stats);
        ASSERT_TRUE(w.ports.openIfClosed());
    }
    void TearDown() override { w.engine().setObserver(nullptr); }

    // Commands that must not raise the box, so the scenario runs without an operator.
    std::string ask(const std::string& line) {
        auto r = w.engine().exchange(line, {.reportNoReply = false});
        return r ? *r : "<abandoned>";
    }
    BusRow row(const std::string& address) {
        for (const auto& r : stats.rows())
            if (r.address == address)
                return r;
        return {};
    }
    // 1A's replies pass through `edit` before they go on the line.
    void edit1A(std::function<void(std::string&)> edit) {
        w.port.rewriteReply = [edit](std::string r) {
            if (r.rfind("1A", 0) == 0)
                edit(r);
            return r;
        };
    }
    // (exchanges, replies, time-outs, garbled)
    std::array<std::uint64_t, 4> counts(const std::string& address) {
        BusRow r = row(address);
        return {r.exchanges, r.replies, r.timeouts, r.garbled};
    }
};

using Counts = std::array<std::uint64_t, 4>;

TEST_F(BusWorld, EachFaultLandsInItsColumn) {
    // What goes wrong, how, and 1A's counts.
    const std::tuple<const char*, std::function<void(BusWorld&)>, Counts> cases[] = {
        {"healthy", [](BusWorld&) {}, Counts{2, 2, 0, 0}},
        {"silent device",
         [](BusWorld& b) { b.w.bus.device("1A")->scriptFault("m", sim::Fault::silence()); },
         Counts{2, 0, 2, 0}},
        {"late beyond the time-out",
         [](BusWorld& b) { b.w.bus.device("1A")->scriptFault("m", sim::Fault::late(2.5, 1)); },
         // The late line arrives with nothing awaited: it names 1A, an unexpected reply.
         Counts{2, 1, 1, 1}},
        {"noise in the reply",
         [](BusWorld& b) { b.edit1A([](std::string& r) { r.insert(3, "\x01\xFE"); }); },
         Counts{2, 0, 0, 2}},
        {"no line feed", [](BusWorld& b) { b.edit1A([](std::string& r) { std::erase(r, '\n'); }); },
         Counts{2, 0, 0, 2}},
        {"wrong address header",
         [](BusWorld& b) { b.edit1A([](std::string& r) { r.replace(0, 2, "01"); }); },
         // Taken for a late reply of 01: not this command's, and then nothing came in time.
         Counts{2, 0, 2, 2}},
    };
    for (const auto& [what, fault, on1A] : cases) {
        SCOPED_TRACE(what);
        stats.reset();
        w.port.rewriteReply = nullptr;
        w.bus.device("1A")->clearFaults();
        fault(*this);
        ask("!1A,m,d");
        ask("!1A,m,a");
        w.rt.runFor(3.0); // late lines land
        EXPECT_EQ(counts("1A"), on1A);
        // The other device on the same line is untouched.
        EXPECT_EQ(ask("!01,m,d"), "MD");
        EXPECT_EQ(counts("01"), (Counts{1, 1, 0, 0}));
    }
}

TEST_F(BusWorld, LatencyFromCommandToLineFeed) {
    // 0.3 s turnaround on every third reply.
    w.bus.device("01")->scriptFault("v", sim::Fault::late(0.3));
    for (int i = 0; i < 30; ++i)
        ask(i % 3 == 0 ? "!01,v,o" : "!01,m,d");
    auto l = stats.latency("01");
    EXPECT_EQ(l.count, 30U);
    EXPECT_LT(l.median, 0.1);
    EXPECT_GT(l.median, 0.0);
    EXPECT_GT(l.p95, 0.3);
    EXPECT_GE(l.max, l.p95);
    EXPECT_LT(l.max, 0.4);
    EXPECT_EQ(stats.latency("1A").count, 0U);
}

TEST_F(BusWorld, LastAnsweredMovesOnlyWithAnAnswerAndResetForgets) {
    ask("!01,m,d");
    auto first = row("01").lastAnswered;
    ASSERT_TRUE(first);
    w.port.dropReplies = true;
    w.rt.runFor(5.0);
    ask("!01,m,d");
    EXPECT_EQ(row("01").lastAnswered, first);
    w.port.dropReplies = false;
    ask("!01,m,d");
    ASSERT_TRUE(row("01").lastAnswered);
    EXPECT_GT(*row("01").lastAnswered, *first + 5.0);
    // A reset and a closed port forget sends in flight.
    stats.reset();
    w.engine().exchange("!01,m,d", {.waitReply = false});
    ASSERT_TRUE(w.ports.closeWithDrain());
    ASSERT_TRUE(w.ports.openIfClosed());
    EXPECT_EQ(ask("!01,m,d"), "MD");
    EXPECT_EQ(counts("01"), (Counts{2, 1, 0, 0}));
    stats.reset();
    EXPECT_TRUE(stats.rows().empty());
    EXPECT_EQ(ask("!01,m,d"), "MD");
    EXPECT_EQ(counts("01"), (Counts{1, 1, 0, 0}));
}

TEST(BusStatisticsRs232, UnaddressedLineIsOneRow) {
    SimWorld w;
    BusStatistics stats(w.rt.clock());
    w.engine().setObserver(&stats);
    ASSERT_TRUE(w.ports.openIfClosed());
    EXPECT_EQ(*w.engine().exchange("m,d"), "MD");
    ASSERT_EQ(stats.rows().size(), 1U);
    EXPECT_EQ(stats.rows()[0].address, "");
    EXPECT_EQ(stats.rows()[0].replies, 1U);
    w.engine().setObserver(nullptr);
}

TEST(BusGarbledLine, PrintableTextOnly) {
    const std::pair<std::string, bool> cases[] = {
        {"1AMD", false},    {"12.50 ~", false}, {"", false},     {std::string("1A\0MD", 5), true},
        {"1A\x7FMD", true}, {"\xC3\xA9", true}, {"1A\tMD", true}};
    for (const auto& [line, garbled] : cases)
        EXPECT_EQ(link::garbledLine(line), garbled) << line;
}

TEST(BusHealthTexts, LatencyAndLastAnswer) {
    const std::pair<std::string, std::string> cases[] = {
        {link::latencyText(0.0123, true), "12.3 ms"},
        {link::latencyText(2.0, true), "2000.0 ms"},
        {link::lastAnsweredText(86400.0 * 20000 + 14 * 3600 + 52 * 60 + 40.9), "14:52:40"},
    };
    for (const auto& [got, want] : cases)
        EXPECT_EQ(got, want);
}

TEST_F(BusWorld, TableRowsFollowTheStatistics) {
    link::BusHealthModel model(stats);
    ask("!01,m,d");
    w.bus.device("1A")->scriptFault("m", sim::Fault::silence());
    ask("!1A,m,d");
    auto rows = model.table();
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ((std::array<std::string, 4>{rows[0][1], rows[0][2], rows[0][3], rows[0][4]}),
              (std::array<std::string, 4>{"1", "1", "0", "0"}));
    EXPECT_NE(rows[0][5], "-");
    EXPECT_NE(rows[0][8], "never");
    EXPECT_EQ((std::array<std::string, 4>{rows[1][3], rows[1][5], rows[1][7], rows[1][8]}),
              (std::array<std::string, 4>{"1", "-", "-", "never"}));
}

} // namespace
