#include "monitor/TerminalWindow.h"
#include "MonitorFixtures.h"
#include "monitor/DataLogs.h"
#include "monitor/LineHistory.h"
#include "monitor/TerminalLine.h"
#include "monitor/TerminalTranscript.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace kvt;
using namespace kvt::testing;

namespace {

// A started terminal on two devices with the terminal window open (unless `open` is false),
// start-up text, traffic and boxes discarded.
struct TeletypeBench {
    explicit TeletypeBench(sim::LineMode mode = sim::LineMode::Rs232, bool echo = false,
                           bool open = true)
        : w(mode, {deviceRecord("1", "1A"), deviceRecord("2", "2B")}) {
        w.prefs.save(kApp, "Properties", "Echo", echo ? "True" : "False");
        w.start();
        w.op.shown.clear();
        text().clear();
        if (open)
            t().menuClick("mnuStart");
        from = w.port.written.size();
    }
    monitor::FrmTerminal& t() { return *w.term; }
    monitor::TerminalWindow& tty() { return t().terminalWindow(); }
    std::string& text() { return t().model.txtTerm.caption; }
    std::string sent() const { return sentSince(w, from); }
    void receive(const std::string& bytes) {
        w.port.injectReceived(bytes);
        w.rt.runFor(0.05);
    }
    TerminalWorld w;
    std::size_t from = 0;
};

// The teletype bench hearing only what a test injects, with an empty transcript.
struct LineBench : TeletypeBench {
    explicit LineBench(sim::LineMode mode = sim::LineMode::Rs232, bool echo = false)
        : TeletypeBench(mode, echo) {
        w.port.dropReplies = true;
        line().transcript.clear();
    }
    monitor::TerminalLine& line() { return tty().line(); }
};

// One row of the hex view: its head, the bytes in hex, and their text.
std::string hexRow(const std::string& head, const std::string& hex, const std::string& text) {
    return head + " " + hex + std::string(47 - hex.size(), ' ') + "  " + text + "\r\n";
}

} // namespace

TEST(TerminalTranscript, HexRowsExactly) {
    using Chunks = std::vector<std::tuple<bool, std::string, double>>; // sent, bytes, time of day
    // The rule, the chunks, whether times show, the text.
    const std::tuple<const char*, Chunks, bool, std::string> cases[] = {
        {"a command and its reply in chunks",
         {{true, "!1A,f\r", 1.0}, {false, "1A,", 1.1}, {false, "F+\r\n", 1.2}},
         false,
         hexRow("TX", "21 31 41 2C 66 0D", "!1A,f.") +
             hexRow("RX", "31 41 2C 46 2B 0D 0A", "1A,F+..")},
        {"time of the first byte; continuation rows leave the time blank",
         {{false, "0123456789ABCDEFGH\r\n", 45296.789}},
         true,
         hexRow("12:34:56.789 RX", "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46",
                "0123456789ABCDEF") +
             hexRow("             RX", "47 48 0D 0A", "GH..")},
        {"a CR without LF ends its row; others are not printable",
         {{false, "A\rB\x07\xe9\x7f", 0}},
         false,
         hexRow("RX", "41 0D", "A.") + hexRow("RX", "42 07 E9 7F", "B...")},
        {"typed keys gather until Enter",
         {{true, "a", 0}, {true, "b", 1}, {true, "\r", 2}},
         false,
         hexRow("TX", "61 62 0D", "ab.")},
    };
    for (const auto& [rule, chunks, times, text] : cases) {
        SCOPED_TRACE(rule);
        monitor::TerminalTranscript t;
        for (const auto& [sent, bytes, at] : chunks)
            t.record(sent, bytes, at);
        EXPECT_EQ(t.hexText(times), text);
    }
}

TEST(TerminalTranscript, StaysBoundedKeepingTheNewest) {
    using T = monitor::TerminalTranscript;
    // Lengths of received lines, each ending in LF; bytes and entries kept.
    const std::tuple<std::vector<std::size_t>, std::size_t, std::size_t> cases[] = {
        {{T::kMaxBytes}, T::kMaxBytes, 1},
        {{10, T::kMaxBytes - 10}, T::kMaxBytes, 2},
        {{10, T::kMaxBytes - 9}, T::kMaxBytes - 9, 1}, // whole lines go first
        {{100, 3 * T::kMaxBytes}, T::kMaxBytes, 1},    // one endless line keeps its end
    };
    for (const auto& [lines, kept, entries] : cases) {
        T t;
        for (std::size_t n : lines)
            t.record(false, std::string(n - 1, 'x') + "\n", 0);
        EXPECT_EQ(t.byteCount(), kept);
        EXPECT_EQ(t.entries().size(), entries);
        EXPECT_EQ(t.entries().back().bytes.back(), '\n');
    }
}

TEST(TerminalTranscript, ClockText) {
    EXPECT_EQ(monitor::formatClockMs(0), "00:00:00.000");
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
    // Escapes decoded; empty parts and those with control characters skipped.
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"a%7Cb|100%25|%zz|%7", {"a|b", "100%", "%zz", "%7"}},
        {"|a||b|", {"a", "b"}},
        {"x%0Dy|ok|%7F", {"ok"}},
        {"", {}},
    };
    for (const auto& [value, lines] : cases) {
        SCOPED_TRACE(value);
        auto h = monitor::LineHistory::decode(value);
        EXPECT_EQ(std::vector<std::string>(h.lines().begin(), h.lines().end()), lines);
        EXPECT_EQ(monitor::LineHistory::decode(h.encode()).lines(), h.lines());
    }
}

TEST(LineMode, SendsTheLineWithItsHeaderAndKeepsItBetweenRuns) {
    const std::tuple<sim::LineMode, bool, std::string> cases[] = {
        {sim::LineMode::Rs232, true, "f,1\r"}, // an RS-232 line has no address header
        {sim::LineMode::Rs485, false, "f,1\r"},
        {sim::LineMode::Rs485, true, "!1A,f,1\r"},
    };
    for (const auto& [mode, header, onLine] : cases) {
        LineBench b(mode);
        b.line().chkAddress_Click(header);
        EXPECT_TRUE(b.line().sendLine(U"f,1"));
        EXPECT_EQ(b.sent(), onLine);
    }
    // With echo on, a closed port is opened and the line shown; the history survives a restart
    // through the preference store.
    LineBench b(sim::LineMode::Rs232, true);
    b.t().menuClick("mnuOpen"); // the operator closed the port meanwhile
    ASSERT_FALSE(b.w.port.portOpen());
    EXPECT_TRUE(b.line().sendLine(U"a|b"));
    EXPECT_EQ(b.sent(), "a|b\r");
    EXPECT_EQ(b.text(), "a|b\r\n");
    b.line().sendLine(U"100%");
    b.w.term.reset();
    auto& again = b.w.terminal().terminalWindow().line();
    EXPECT_EQ(again.historyUp(U""), "100%");
    EXPECT_EQ(again.historyUp(U""), "a|b");
}

TEST(LineMode, RefusesWhatCannotGoOnTheLine) {
    const std::pair<std::u32string, const char*> cases[] = {
        {U"f\r", monitor::kLineControlText},
        {U"a\u007fb", monitor::kLineControlText},
        {U"a\u0085b", monitor::kLineControlText},
        {U"a\u20acb", monitor::kLineCharacterText},
        {std::u32string(256, U'x'), monitor::kLineLengthText},
    };
    for (const auto& [line, told] : cases) {
        LineBench b;
        EXPECT_FALSE(b.line().sendLine(line));
        EXPECT_EQ(b.sent(), "");
        EXPECT_EQ(b.w.op.texts(), std::vector<std::string>{told});
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

TEST(HexView, ShowsTypedLinesMenuCommandsAndRepliesApart) {
    LineBench b;
    auto& l = b.line();
    l.chkHex_Click(true);
    l.chkTimes_Click(true);
    const double sentAt = b.w.rt.timeOfDay();
    l.sendLine(U"f");
    b.w.rt.runFor(0.25);
    b.w.port.dropReplies = false;
    auto reply = b.t().exchange(1, "f"); // a menu's command and its answer are traffic too
    ASSERT_TRUE(reply && !reply->empty());
    const auto& e = l.transcript.entries();
    ASSERT_GE(e.size(), 3u); // the device may add its prompt
    EXPECT_TRUE(e[0].sent && e[1].sent && !e[2].sent);
    EXPECT_EQ(e[0].timeOfDay, sentAt);
    EXPECT_EQ(e[0].bytes + e[1].bytes + e[2].bytes.substr(0, reply->size()), "f\rf\r" + *reply);
    EXPECT_EQ(l.shownText(), l.transcript.hexText(true));
    l.chkHex_Click(false); // the teletype text shows
    EXPECT_EQ(&l.shownText(), &b.text());
}

// The transcript and the communications log both take the text as shown.
TEST(SaveTranscript, WritesWhatIsShownOrTellsWhyNot) {
    LineBench b;
    auto& l = b.line();
    const std::string log = b.w.folder.file("comm.tlg");
    b.w.op.choose(log);
    b.t().menuClick("mnuOpenLog");
    b.receive("AB\bC\r\n");
    b.receive("\n");
    b.t().logs().closeLog(monitor::LogSlot::Comm);
    EXPECT_EQ(test::readFile(log), "AC\r\n");
    const std::pair<bool, std::string> cases[] = {
        {false, "AC\r\n"},
        {true, hexRow("RX", "41 42 08 43 0D 0A", "AB.C..") + hexRow("RX", "0A", ".")},
    };
    for (const auto& [hex, file] : cases) {
        l.chkHex_Click(hex);
        const std::string path = b.w.folder.file(hex ? "hex.txt" : "tty.txt");
        b.w.op.choose(path);
        l.cmdSaveTranscript_Click();
        EXPECT_EQ(test::readFile(path), file);
    }
    EXPECT_TRUE(b.w.op.shown.empty());

    const std::string bad = b.w.folder.file("missing/t.txt");
    b.w.op.choose(bad);
    l.cmdSaveTranscript_Click();
    ASSERT_EQ(b.w.op.shown.size(), 1u);
    // And the host's reason after the colon.
    EXPECT_EQ(b.w.op.shown[0].text.rfind("Cannot write " + bad + ": ", 0), 0u);
    EXPECT_GT(b.w.op.shown[0].text.size(), ("Cannot write " + bad + ": ").size());
    EXPECT_EQ(b.w.op.shown[0].title, monitor::kTranscriptTitle);

    b.w.op.choose(std::nullopt); // cancelled: nothing happens
    l.cmdSaveTranscript_Click();
    EXPECT_EQ(b.w.op.shown.size(), 1u);
}

TEST(Teletype, ReceivedChunksFollowTheDisplayRules) {
    // The rule, the text before, the chunks received, the text shown.
    const std::tuple<const char*, std::string, std::vector<std::string>, std::string> cases[] = {
        {"a leading backspace takes back one shown character", "XY", {"\bZ"}, "XZ"},
        {"only one shown character per chunk", "XYZ", {"\b\b\bQ"}, "XYQ"},
        {"a backspace after a character removes both", "XY", {"A\bB"}, "XYB"},
        {"pairs first, then the leading one", "XY", {"A\b\bB"}, "XB"},
        {"a lone line feed shows nothing", "X", {"\n"}, "X"},
        {"a lone carriage return starts a line", "X", {"\r", "Y"}, "X\r\nY"},
        {"backspace on an empty text does nothing", "", {"\b", "\b\b"}, ""},
        {"chunks split inside a line", "", {"12.", "5\r", "\n"}, "12.5\r\n"},
    };
    for (const auto& [rule, before, chunks, shown] : cases) {
        SCOPED_TRACE(rule);
        TeletypeBench b;
        b.text() = before;
        for (const auto& chunk : chunks)
            b.receive(chunk);
        EXPECT_EQ(b.text(), shown);
        EXPECT_EQ(b.tty().selStart, b.text().size()); // the caret ends at the end
        EXPECT_EQ(b.tty().selLength, 0u);
    }
}

TEST(Teletype, TextIsTrimmedInBlocksWhateverTheChunk) {
    // Text before, chunk received, text after.
    const std::tuple<std::size_t, std::size_t, std::size_t> cases[] = {
        {16000, 1, 16001 - 4096},
        {15999, 1, 16000},
        {15999, 10000, 25999 - 3 * 4096},
        {0, 70000, 70000 - 14 * 4096},
    };
    for (const auto& [before, size, after] : cases) {
        SCOPED_TRACE(size);
        TeletypeBench b;
        b.text() = std::string(before, 'o');
        std::string chunk(size, 'n');
        chunk.back() = 'E';
        b.tty().display(chunk);
        EXPECT_EQ(b.text().size(), after);
        EXPECT_LE(b.text().size(), monitor::TerminalWindow::kMaxText);
        EXPECT_EQ(b.text().back(), 'E');
    }
}

TEST(Teletype, BytesPerKey) {
    // The rule, the keys, the bytes sent, and the text shown with echo on (none with it off).
    const std::tuple<const char*, std::u32string, std::string, std::string> cases[] = {
        {"letters one byte each", U"ab", "ab", "ab"},
        {"Enter sends CR alone", U"f\r", "f\r", "f\r\n"},
        {"Backspace sends 8", U"ab\b", "ab\b", "a"},
        {"Latin-1 goes as its byte", U"\u00e9", "\xe9", "\xe9"},
        {"beyond Latin-1 nothing is sent", U"a\u20acb", "ab", "ab"},
        {"backspace on an empty text", U"\b", "\b", ""},
    };
    for (bool echo : {false, true}) {
        for (const auto& [rule, keys, onLine, echoed] : cases) {
            SCOPED_TRACE(std::string(rule) + (echo ? " (echo)" : ""));
            TeletypeBench b(sim::LineMode::Rs232, echo);
            for (char32_t k : keys)
                EXPECT_TRUE(b.tty().txtTerm_KeyPress(k));
            EXPECT_EQ(b.sent(), onLine);
            EXPECT_EQ(b.text(), echo ? echoed : "");
        }
    }
}

// Keys typed while a command waits for its reply follow it, in order.
TEST(Teletype, TypedBytesNeverDisturbCommands) {
    TeletypeBench b;
    b.w.rt.schedule(0.002, [&] {
        b.tty().txtTerm_KeyPress('a');
        b.tty().txtTerm_KeyPress('b');
        EXPECT_EQ(b.tty().waiting(), "ab"); // held while "f" awaits its reply
        EXPECT_EQ(b.sent(), "f\r");
    });
    b.t().menuClick("mnuCommandsFlow");
    b.w.rt.runFor(0.1);
    EXPECT_EQ(b.sent(), "f\rab");
    EXPECT_TRUE(b.tty().waiting().empty());
    EXPECT_TRUE(b.w.op.texts().empty());
}

TEST(Teletype, StartAndStopAndWhatKeysDoMeanwhile) {
    TeletypeBench b(sim::LineMode::Rs232, true, false);
    auto& m = b.t().model;
    // Port open, Start, Stop, the text, the monitor panel, the device frame.
    auto state = [&] {
        return std::vector<bool>{b.w.port.portOpen(),       m.menu("mnuStart").enabled,
                                 m.menu("mnuStop").enabled, m.txtTerm.visible,
                                 m.fraSendR.visible,        m.fraCD.visible};
    };
    const std::vector<bool> stopped = {false, true, false, false, true, true};
    b.t().menuClick("mnuMonitor"); // the communications monitor is on
    EXPECT_EQ(state(), stopped);
    // A closed port edits the text locally and sends nothing.
    EXPECT_FALSE(b.tty().txtTerm_KeyPress('a'));
    EXPECT_FALSE(b.tty().paste(U"abc"));
    b.tty().txtTerm_Change("history\r\n");
    EXPECT_EQ(b.text(), "history\r\n");
    EXPECT_EQ(b.sent(), "");

    b.t().menuClick("mnuStart");
    EXPECT_EQ(state(), (std::vector<bool>{true, false, true, true, false, false}));
    // Echo never replaces a selection, and a paste goes as typed.
    b.tty().selStart = 0; // the operator selected everything
    b.tty().selLength = b.text().size();
    b.tty().txtTerm_KeyPress('x');
    EXPECT_EQ(b.text(), "history\r\nx");
    EXPECT_TRUE(b.tty().paste(U"f\r\nt,r\nx\u20ac\ry"));
    EXPECT_EQ(b.sent(), "xf\rt,r\rx\ry");
    b.t().menuClick("mnuStop");
    EXPECT_EQ(state(), stopped);
    EXPECT_FALSE(m.menu("mnuOpen").checked);

    // A port that will not open leaves the terminal closed.
    b.w.port.failOpenWith = "Port busy";
    b.t().menuClick("mnuStart");
    EXPECT_EQ(state(), stopped);
    EXPECT_EQ(b.w.op.texts(), std::vector<std::string>{"Port busy"});
}
