#include "monitor/TerminalWindow.h"
#include "MonitorFixtures.h"
#include "monitor/DataLogs.h"

#include <gtest/gtest.h>

using namespace kvt;
using namespace kvt::testing;

namespace {

// A started RS-232 terminal with the terminal window open (or not), start-up traffic discarded.
struct TeletypeBench {
    explicit TeletypeBench(bool echo = false, bool start = true) {
        w.prefs.save("KVT Control Terminal", "Properties", "Echo", echo ? "True" : "False");
        w.start();
        w.op.shown.clear();
        text().clear(); // the start-up replies
        if (start)
            t().menuClick("mnuStart");
        written0 = w.port.written.size();
    }
    monitor::FrmTerminal& t() { return *w.term; }
    monitor::TerminalWindow& tty() { return t().terminalWindow(); }
    std::string& text() { return t().model.txtTerm.caption; }
    std::string typed() { return sentSince(w, written0); }
    void receive(const std::string& bytes) {
        w.port.injectReceived(bytes);
        w.rt.runFor(0.05);
    }
    TerminalWorld w{sim::LineMode::Rs232, {deviceRecord("1", "01")}};
    std::size_t written0 = 0;
};

} // namespace

TEST(Teletype, ReceivedChunksFollowTheDisplayRules) {
    struct Case {
        const char* name;
        std::string before;
        std::vector<std::string> chunks;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"backspace and line end", "", {"AB\bC\r\n"}, "AC\r\n"},
        {"a leading backspace takes back one shown character", "XY", {"\bZ"}, "XZ"},
        {"only one shown character per chunk", "XYZ", {"\b\b\bQ"}, "XYQ"},
        {"a backspace after a character removes both", "XY", {"A\bB"}, "XYB"},
        {"pairs first, then the leading one", "XY", {"A\b\bB"}, "XB"},
        {"a lone line feed shows nothing", "X", {"\n"}, "X"},
        {"a lone carriage return starts a line", "X", {"\r", "Y"}, "X\r\nY"},
        {"backspace on an empty text does nothing", "", {"\b", "\b\b"}, ""},
        {"chunks split inside a line", "", {"12.", "5\r", "\n"}, "12.5\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TeletypeBench b;
        b.text() = c.before;
        for (const auto& chunk : c.chunks)
            b.receive(chunk);
        EXPECT_EQ(b.text(), c.shown);
        EXPECT_EQ(b.tty().selStart, b.text().size()); // the caret ends at the end
        EXPECT_EQ(b.tty().selLength, 0u);
    }
}

TEST(Teletype, TextIsTrimmedInBlocksWhateverTheChunk) {
    struct Case {
        std::size_t before;
        std::size_t chunk;
        std::size_t after;
    };
    const std::vector<Case> cases = {
        {16000, 1, 16001 - 4096},
        {15999, 1, 16000},
        {15999, 10000, 25999 - 3 * 4096},
        {0, 70000, 70000 - 14 * 4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chunk);
        TeletypeBench b;
        b.text() = std::string(c.before, 'o');
        std::string chunk(c.chunk, 'n');
        chunk.back() = 'E';
        b.tty().display(chunk);
        EXPECT_EQ(b.text().size(), c.after);
        EXPECT_LE(b.text().size(), monitor::TerminalWindow::kMaxText);
        EXPECT_EQ(b.text().back(), 'E');
    }
}

TEST(Teletype, BytesPerKey) {
    struct Case {
        const char* name;
        std::u32string keys;
        std::string onLine;
        std::string echoed; // shown with echo on; nothing is shown with echo off
    };
    const std::vector<Case> cases = {
        {"letters one byte each", U"ab", "ab", "ab"},
        {"Enter sends CR alone", U"f\r", "f\r", "f\r\n"},
        {"Backspace sends 8", U"ab\b", "ab\b", "a"},
        {"Latin-1 goes as its byte", U"\u00e9", "\xe9", "\xe9"},
        {"beyond Latin-1 nothing is sent", U"a\u20acb", "ab", "ab"},
        {"backspace on an empty text", U"\b", "\b", ""},
    };
    for (bool echo : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (echo ? " (echo)" : ""));
            TeletypeBench b(echo);
            for (char32_t k : c.keys)
                EXPECT_TRUE(b.tty().txtTerm_KeyPress(k));
            EXPECT_EQ(b.typed(), c.onLine);
            EXPECT_EQ(b.text(), echo ? c.echoed : "");
        }
    }
}

TEST(Teletype, ClosedPortEditsLocallyAndEchoNeverReplacesASelection) {
    TeletypeBench b(true, false);
    EXPECT_FALSE(b.w.port.portOpen());
    EXPECT_FALSE(b.tty().txtTerm_KeyPress('a'));
    EXPECT_FALSE(b.tty().paste(U"abc"));
    b.tty().txtTerm_Change("history\r\n");
    EXPECT_EQ(b.text(), "history\r\n");
    EXPECT_EQ(b.typed(), "");

    b.t().menuClick("mnuStart");
    b.tty().selStart = 0; // the operator selected everything
    b.tty().selLength = b.text().size();
    b.tty().txtTerm_KeyPress('x');
    EXPECT_EQ(b.text(), "history\r\nx");
}

TEST(Teletype, TypedBytesNeverDisturbCommands) {
    {
        // Paste, stop, then a menu command goes out at once and gets its answer.
        TeletypeBench b;
        EXPECT_TRUE(b.tty().paste(U"f\r\nt,r\nx\u20ac\ry")); // goes out as typed
        EXPECT_EQ(b.typed(), "f\rt,r\rx\ry");
        b.t().menuClick("mnuStop");
        EXPECT_FALSE(b.w.port.portOpen());
        double before = b.w.rt.now();
        b.t().menuClick("mnuCommandsFlow");
        EXPECT_LT(b.w.rt.now() - before, 0.2);
        EXPECT_TRUE(b.w.op.texts().empty());
        EXPECT_TRUE(b.t().engine().transactionDone);
        EXPECT_FALSE(b.t().engine().awaitingReply);
    }
    {
        // Keys typed while a command waits for its reply follow it, in order.
        TeletypeBench b;
        b.w.rt.schedule(0.002, [&] {
            b.tty().txtTerm_KeyPress('a');
            b.tty().txtTerm_KeyPress('b');
            EXPECT_EQ(b.tty().waiting(), "ab"); // held while "f" awaits its reply
            EXPECT_EQ(b.typed(), "f\r");
        });
        b.t().menuClick("mnuCommandsFlow");
        b.w.rt.runFor(0.1);
        EXPECT_EQ(b.typed(), "f\rab");
        EXPECT_TRUE(b.tty().waiting().empty());
        EXPECT_TRUE(b.w.op.texts().empty());
    }
}

TEST(Teletype, StartAndStop) {
    TeletypeBench b(false, false);
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
    b.t().menuClick("mnuStart");
    EXPECT_EQ(state(), (std::vector<bool>{true, false, true, true, false, false}));
    b.t().menuClick("mnuStop");
    EXPECT_EQ(state(), stopped);
    EXPECT_FALSE(m.menu("mnuOpen").checked);

    // A port that will not open leaves the terminal closed.
    b.w.port.failOpenWith = "Port busy";
    b.t().menuClick("mnuStart");
    EXPECT_EQ(state(), stopped);
    EXPECT_EQ(b.w.op.texts(), std::vector<std::string>{"Port busy"});
}

TEST(Teletype, ShownTextGoesToTheCommunicationsLog) {
    TeletypeBench b;
    const std::string path = b.w.folder.file("comm.tlg");
    b.w.op.choose(path);
    b.t().menuClick("mnuOpenLog");
    ASSERT_TRUE(b.t().logs().isOpen(monitor::LogSlot::Comm));
    b.receive("AB\bC\r\n");
    b.receive("\n");
    b.t().logs().closeLog(monitor::LogSlot::Comm);
    EXPECT_EQ(test::readFile(path), "AC\r\n");
}
