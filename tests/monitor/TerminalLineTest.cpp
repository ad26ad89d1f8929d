#include "monitor/TerminalLine.h"
#include "MonitorFixtures.h"
#include "monitor/LineHistory.h"
#include "monitor/TerminalTranscript.h"
#include "monitor/TerminalWindow.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kvt;
using namespace kvt::testing;

namespace {

// A started terminal with its window open, start-up traffic and boxes cleared; the devices' own
// answers are dropped unless a test wants them.
struct LineBench {
    explicit LineBench(sim::LineMode mode = sim::LineMode::Rs232, bool echo = false)
        : w(mode, {deviceRecord("1", "1A"), deviceRecord("2", "2B")}) {
        w.prefs.save("KVT Control Terminal", "Properties", "Echo", echo ? "True" : "False");
        w.start();
        w.op.shown.clear();
        t().model.txtTerm.caption.clear();
        t().menuClick("mnuStart");
        w.port.dropReplies = true;
        line().transcript.clear();
        from = w.port.written.size();
    }
    monitor::FrmTerminal& t() { return *w.term; }
    monitor::TerminalLine& line() { return t().terminalWindow().line(); }
    std::string sent() { return sentSince(w, from); }
    TerminalWorld w;
    std::size_t from = 0;
};

} // namespace

TEST(TerminalTranscript, HexRowsExactly) {
    struct Chunk {
        bool sent;
        std::string bytes;
        double at;
    };
    struct Case {
        const char* name;
        std::vector<Chunk> chunks;
        bool times;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"a command and its reply in chunks",
         {{true, "!1A,f\r", 1.0}, {false, "1A,", 1.1}, {false, "F+\r\n", 1.2}},
         false,
         "TX 21 31 41 2C 66 0D" + std::string(30, ' ') + "  !1A,f.\r\n" +
             "RX 31 41 2C 46 2B 0D 0A" + std::string(27, ' ') + "  1A,F+..\r\n"},
        {"time of the first byte; continuation rows leave the time blank",
         {{false, "0123456789ABCDEFGH\r\n", 45296.789}},
         true,
         "12:34:56.789 RX 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46  0123456789ABCDEF\r\n"
         "             RX 47 48 0D 0A" +
             std::string(36, ' ') + "  GH..\r\n"},
        {"a CR without LF ends its row; others are not printable",
         {{false, "A\rB\x07\xe9\x7f", 0}},
         false,
         "RX 41 0D" + std::string(42, ' ') + "  A.\r\n" + "RX 42 07 E9 7F" + std::string(36, ' ') +
             "  B...\r\n"},
        {"typed keys gather until Enter",
         {{true, "a", 0}, {true, "b", 1}, {true, "\r", 2}},
         false,
         "TX 61 62 0D" + std::string(39, ' ') + "  ab.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        monitor::TerminalTranscript t;
        for (const auto& chunk : c.chunks)
            t.record(chunk.sent, chunk.bytes, chunk.at);
        EXPECT_EQ(t.hexText(c.times), c.text);
    }
}

TEST(TerminalTranscript, StaysBoundedKeepingTheNewest) {
    struct Case {
        std::vector<std::size_t> lines; // lengths of received lines, each ending in LF
        std::size_t kept;
        std::size_t entries;
    };
    using T = monitor::TerminalTranscript;
    const std::vector<Case> cases = {
        {{T::kMaxBytes}, T::kMaxBytes, 1},
        {{10, T::kMaxBytes - 10}, T::kMaxBytes, 2},
        {{10, T::kMaxBytes - 9}, T::kMaxBytes - 9, 1}, // whole lines go first
        {{100, 3 * T::kMaxBytes}, T::kMaxBytes, 1},    // one endless line keeps its end
    };
    for (const auto& c : cases) {
        T t;
        for (std::size_t n : c.lines)
            t.record(false, std::string(n - 1, 'x') + "\n", 0);
        EXPECT_EQ(t.byteCount(), c.kept);
        EXPECT_EQ(t.entries().size(), c.entries);
        EXPECT_EQ(t.entries().back().bytes.back(), '\n');
    }
}

TEST(TerminalTranscript, ClockText) {
    EXPECT_EQ(monitor::formatClockMs(0), "00:00:00.000");
    EXPECT_EQ(monitor::formatClockMs(45296.789), "12:34:56.789");
    EXPECT_EQ(monitor::formatClockMs(86399.9996), "00:00:00.000");
    EXPECT_EQ(monitor::formatClockMs(-0.5), "23:59:59.500");
    EXPECT_EQ(monitor::formatClockMs(std::nan("")), "00:00:00.000");
}

TEST(LineHistory, KeepsTheLastHundredAndBrowsesLikeAShell) {
    monitor::LineHistory h;
    for (int i = 1; i <= 101; ++i)
        h.add("l" + std::to_string(i));
    h.add("l101"); // a repeat of the newest
    h.add("");
    ASSERT_EQ(h.lines().size(), 100u);
    EXPECT_EQ(h.lines().front(), "l2");
    EXPECT_EQ(h.down(), std::nullopt); // not browsing
    EXPECT_EQ(h.up("draft"), "l101");
    EXPECT_EQ(h.up("ignored"), "l100");
    EXPECT_EQ(h.down(), "l101");
    EXPECT_EQ(h.down(), "draft");
    EXPECT_EQ(h.down(), std::nullopt);
    for (int i = 0; i < 100; ++i)
        h.up("");
    EXPECT_EQ(h.up(""), std::nullopt); // at the oldest
    h.add("new");
    EXPECT_EQ(h.up(""), "new"); // browsing starts over
}

TEST(LineHistory, StoredValue) {
    struct Case {
        const char* name;
        std::string value;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"escapes", "a%7Cb|100%25|%zz|%7", {"a|b", "100%", "%zz", "%7"}},
        {"empty parts skipped", "|a||b|", {"a", "b"}},
        {"control characters skipped", "x%0Dy|ok|%7F", {"ok"}},
        {"nothing stored", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto h = monitor::LineHistory::decode(c.value);
        EXPECT_EQ(std::vector<std::string>(h.lines().begin(), h.lines().end()), c.lines);
        EXPECT_EQ(monitor::LineHistory::decode(h.encode()).lines(), h.lines());
    }
}

TEST(LineMode, SendsTheLineWithItsHeaderAndKeepsItBetweenRuns) {
    struct Case {
        sim::LineMode mode;
        bool header;
        std::string onLine;
    };
    const std::vector<Case> cases = {
        {sim::LineMode::Rs232, false, "f,1\r"},
        {sim::LineMode::Rs232, true, "f,1\r"}, // an RS-232 line has no address header
        {sim::LineMode::Rs485, false, "f,1\r"},
        {sim::LineMode::Rs485, true, "!1A,f,1\r"},
    };
    for (const auto& c : cases) {
        LineBench b(c.mode);
        b.line().chkAddress_Click(c.header);
        EXPECT_TRUE(b.line().sendLine(U"f,1"));
        EXPECT_EQ(b.sent(), c.onLine);
    }
    // With echo on, a closed port is opened and the line shown; the history survives a restart
    // through the preference store.
    LineBench b(sim::LineMode::Rs232, true);
    b.t().menuClick("mnuOpen"); // the operator closed the port meanwhile
    ASSERT_FALSE(b.w.port.portOpen());
    EXPECT_TRUE(b.line().sendLine(U"a|b"));
    EXPECT_EQ(b.sent(), "a|b\r");
    EXPECT_EQ(b.t().model.txtTerm.caption, "a|b\r\n");
    b.line().sendLine(U"100%");
    b.w.term.reset();
    auto& again = b.w.terminal().terminalWindow().line();
    EXPECT_EQ(again.historyUp(U""), "100%");
    EXPECT_EQ(again.historyUp(U""), "a|b");
}

TEST(LineMode, RefusesWhatCannotGoOnTheLine) {
    struct Case {
        std::u32string line;
        const char* told;
    };
    const std::vector<Case> cases = {
        {U"f\r", monitor::kLineControlText},
        {U"a\tb", monitor::kLineControlText},
        {U"a\u007fb", monitor::kLineControlText},
        {U"a\u0085b", monitor::kLineControlText},
        {U"a\u20acb", monitor::kLineCharacterText},
        {std::u32string(256, U'x'), monitor::kLineLengthText},
    };
    for (const auto& c : cases) {
        LineBench b;
        EXPECT_FALSE(b.line().sendLine(c.line));
        EXPECT_EQ(b.sent(), "");
        EXPECT_EQ(b.w.op.texts(), std::vector<std::string>{c.told});
        EXPECT_TRUE(b.line().history.lines().empty());
    }
    LineBench b(sim::LineMode::Rs485);
    b.t().table.record(b.t().currentDevice()).Address = "00";
    b.line().chkAddress_Click(true);
    EXPECT_FALSE(b.line().sendLine(U"f"));
    EXPECT_EQ(b.w.op.texts(), std::vector<std::string>{monitor::kLineNoAddressText});
    EXPECT_EQ(b.sent(), "");
    // 255 characters are one line.
    b.line().chkAddress_Click(false);
    EXPECT_TRUE(b.line().sendLine(std::u32string(255, U'x')));
}

TEST(HexView, ShowsTypedLinesCommandsAndRepliesApart) {
    LineBench b;
    auto& l = b.line();
    l.chkHex_Click(true);
    l.chkTimes_Click(true);
    const double sentAt = b.w.rt.timeOfDay();
    l.sendLine(U"f");
    b.w.rt.runFor(0.25);
    b.w.port.injectReceived(">5\r\n");
    b.w.rt.runFor(0.05);
    const auto& e = l.transcript.entries();
    ASSERT_EQ(e.size(), 2u);
    const std::string rows = monitor::formatClockMs(sentAt) + " TX 66 0D" + std::string(42, ' ') +
                             "  f.\r\n" + monitor::formatClockMs(e[1].timeOfDay) +
                             " RX 3E 35 0D 0A" + std::string(36, ' ') + "  >5..\r\n";
    EXPECT_EQ(l.shownText(), rows);

    // A menu's command and its answer are traffic too.
    b.w.port.dropReplies = false;
    auto reply = b.t().exchange(1, "f");
    ASSERT_TRUE(reply && !reply->empty());
    ASSERT_GE(e.size(), 4u); // the device may add its prompt
    EXPECT_TRUE(e[2].sent && !e[3].sent);
    EXPECT_EQ(e[2].bytes + e[3].bytes.substr(0, reply->size()), "f\r" + *reply);
    EXPECT_EQ(l.shownText().substr(0, rows.size()), rows);

    // Hex off: the teletype text is what shows.
    l.chkHex_Click(false);
    EXPECT_EQ(&l.shownText(), &b.t().model.txtTerm.caption);
}

TEST(SaveTranscript, WritesWhatIsShownOrTellsWhyNot) {
    LineBench b;
    auto& l = b.line();
    b.w.port.injectReceived("AB\bC\r\n");
    b.w.rt.runFor(0.05);
    struct Case {
        bool hex;
        std::string file;
    };
    const std::vector<Case> cases = {
        {false, "AC\r\n"},
        {true, "RX 41 42 08 43 0D 0A" + std::string(30, ' ') + "  AB.C..\r\n"},
    };
    for (const auto& c : cases) {
        l.chkHex_Click(c.hex);
        const std::string path = b.w.folder.file(c.hex ? "hex.txt" : "tty.txt");
        b.w.op.choose(path);
        l.cmdSaveTranscript_Click();
        EXPECT_EQ(test::readFile(path), c.file);
    }
    EXPECT_TRUE(b.w.op.shown.empty());

    const std::string bad = b.w.folder.file("missing/t.txt");
    b.w.op.choose(bad);
    l.cmdSaveTranscript_Click();
    ASSERT_EQ(b.w.op.shown.size(), 1u);
    const std::string prefix = "Cannot write " + bad + ": "; // and the host's reason
    EXPECT_GT(b.w.op.shown[0].text.size(), prefix.size());
    EXPECT_EQ(b.w.op.shown[0].text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(b.w.op.shown[0].title, monitor::kTranscriptTitle);

    b.w.op.choose(std::nullopt); // cancelled: nothing happens
    l.cmdSaveTranscript_Click();
    EXPECT_EQ(b.w.op.shown.size(), 1u);
}
