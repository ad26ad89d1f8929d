#include "link/TransactionEngine.h"
#include "support/SimWorld.h"

#include <gtest/gtest.h>

using namespace kvt;
using kvt::platform::Answer;
using kvt::platform::Buttons;
using kvt::platform::Icon;
namespace CE = kvt::platform::CommEvent;
using kvt::testing::SimWorld;

namespace {

std::string status(SimWorld& w) {
    return w.model.sbrStatus["Status"].text;
}

// A bench whose port is open.
struct Opened : SimWorld {
    explicit Opened(sim::LineMode mode = sim::LineMode::Rs232,
                    std::vector<std::string> addresses = {"01"})
        : SimWorld(mode, std::move(addresses)) {
        EXPECT_TRUE(ports.openIfClosed());
    }
};

const std::vector<std::string> kNoConnection{"No connection!"};

} // namespace

TEST(Transaction, Rs232ExchangeIsUnaddressedAndIdleTextIsNoReply) {
    Opened w;
    EXPECT_EQ(w.engine().exchange("m,d"), "MD");
    EXPECT_EQ(w.port.written.back(), "m,d\r");
    EXPECT_EQ(w.model.lblTr.caption + " " + w.model.lblRs.caption, "m,d MD");
    // Text while idle (a late reply, chatter) is shown but never taken for a reply.
    w.port.injectReceived("ZE\r\n");
    w.rt.runFor(0.1);
    EXPECT_EQ(w.model.lblRs.caption, "ZE");
    EXPECT_TRUE(w.engine().replyText != "ZE" && w.engine().transactionDone);
    w.port.injectReceived("VA");
    w.rt.runFor(0.1);
    EXPECT_EQ(*w.engine().exchange("m,d"), "MD");
    EXPECT_TRUE(w.op.shown.empty());
    // On a closed port nothing goes out, and no stale "MD" comes back.
    ASSERT_TRUE(w.ports.closeWithDrain());
    const auto writes = w.port.written.size();
    w.engine().Send("m,a");
    EXPECT_FALSE(w.engine().awaitingReply);
    EXPECT_EQ(w.port.written.size(), writes);
    EXPECT_EQ(w.engine().exchange("m,a"), "");
    EXPECT_TRUE(w.op.shown.empty());
}

TEST(Transaction, NoReplyShowsNoConnectionOnceAfterTwoSeconds) {
    Opened w;
    w.port.dropReplies = true;
    double sentAt = w.rt.now();
    // The operator takes five seconds to close the box: the box must still come only once.
    w.op.answer(Answer::Ok, 5.0);
    EXPECT_EQ(w.engine().exchange("m,d"), "");
    ASSERT_EQ(w.op.shown.size(), 1u);
    const auto& box = w.op.shown[0];
    EXPECT_EQ(box.text + "|" + box.title, "No connection!|Communication Error");
    EXPECT_TRUE(box.icon == Icon::Information && box.buttons == Buttons::Ok);
    // 2 s after the end of transmission (4 characters at 9600 baud), plus the operator's 5 s.
    double wire = 4 * 10.0 / 9600;
    EXPECT_NEAR(w.rt.now() - sentAt, wire + 2.0 + 5.0, 1e-6);
    EXPECT_TRUE(w.engine().transactionDone && !w.engine().awaitingReply);
    // Nothing more comes later.
    w.rt.runFor(10);
    EXPECT_EQ(w.op.shown.size(), 1u);
}

TEST(Transaction, LineEventShowsItsTextForTwoSecondsOnly) {
    Opened w;
    w.port.injectEvent(CE::Cts);
    w.rt.runFor(0.001);
    EXPECT_EQ(status(w), "Status: Change in CTS Detected");
    w.rt.runFor(1.9);
    EXPECT_EQ(status(w), "Status: Change in CTS Detected");
    EXPECT_EQ(*w.engine().exchange("m,d"), "MD");
    w.rt.runFor(0.2);
    EXPECT_EQ(status(w), "Status: ");
    w.port.injectEvent(CE::Eof);
    w.rt.runFor(0.001);
    EXPECT_EQ(status(w), "Status: End of File Detected");
    // A port's notice goes to the panel the same way, without a question.
    w.port.notice("rfc2217://10.0.0.5:4001: the server refused the COM-PORT-OPTION");
    w.rt.runFor(0.001);
    EXPECT_EQ(status(w), "Status: rfc2217://10.0.0.5:4001: the server refused the COM-PORT-OPTION");
    EXPECT_TRUE(w.op.shown.empty() && w.port.portOpen());
}

TEST(Transaction, LineErrorsAskWhetherToCloseThePort) {
    Opened w;
    // Framing errors and breaks are silent.
    w.port.injectEvent(CE::Frame);
    w.port.injectEvent(CE::Break);
    w.rt.runFor(3);
    EXPECT_EQ(status(w), "Status: ");
    EXPECT_TRUE(w.op.shown.empty() && w.op.beeps == 0);
    const std::vector<std::pair<int, std::string>> errors = {
        {CE::CtsTimeout, "CTS Timeout"},         {CE::DsrTimeout, "DSR Timeout"},
        {CE::Overrun, "Overrun Error"},          {CE::CdTimeout, "Carrier Detect Timeout"},
        {CE::RxOver, "Receive Buffer Overflow"}, {CE::RxParity, "Parity Error"},
        {CE::TxFull, "Transmit Buffer Full"},    {CE::Dcb, "Error retrieving DCB"},
        {1234, "Unknown error or event"}};
    for (const auto& [event, text] : errors) {
        w.op.answer(Answer::Ok);
        w.port.injectEvent(event);
        w.rt.runFor(0.001);
        ASSERT_FALSE(w.op.shown.empty());
        const auto& box = w.op.shown.back();
        EXPECT_EQ(box.text + "|" + box.title, text + "|Click Cancel to quit, OK to ignore.");
        EXPECT_EQ(box.buttons, Buttons::OkCancel);
        EXPECT_EQ(status(w), "Status: " + text);
    }
    EXPECT_EQ(w.op.beeps, static_cast<int>(errors.size()));
    EXPECT_TRUE(w.port.portOpen());
    w.op.answer(Answer::Cancel);
    w.port.injectEvent(CE::Overrun);
    w.rt.runFor(0.001);
    EXPECT_FALSE(w.port.portOpen());
}

TEST(Transaction, DrainedEventAfterTheReplyKeepsTheReply) {
    Opened w;
    // Send marks the transaction in progress before its drained event.
    w.engine().Send("m,d");
    EXPECT_FALSE(w.engine().transactionDone);
    EXPECT_EQ(*w.engine().exchange("m,a"), "MA");
    w.port.replyBeforeDrain = true;
    EXPECT_EQ(w.engine().exchange("m,d"), "MD");
    w.rt.runFor(0.5); // the late drained event has come
    EXPECT_TRUE(w.engine().transactionDone);
    // The next sender is not held up, and no time-out fires.
    EXPECT_EQ(*w.engine().exchange("m,a"), "MA");
    w.rt.runFor(5);
    EXPECT_TRUE(w.op.shown.empty());
}

TEST(Transaction, ReceivedLineIsShownWholeOrClearedWhileMultiMonitoring) {
    Opened w(sim::LineMode::Rs485, {"01"});
    w.engine().autoZeroWait = true;
    EXPECT_EQ(*w.engine().exchange("!01,z,e", {.showReply = true}), "ZE");
    EXPECT_EQ(status(w), "Status: " + w.model.lblRs.caption); // header and reply
    EXPECT_EQ(w.model.lblRs.caption.size(), 6u); // the line keeps its four-character header
    EXPECT_EQ(w.engine().autoZeroReplyCode, "ZE");
    EXPECT_FALSE(w.engine().autoZeroWait || w.engine().showReply);
    w.engine().autoZeroWait = true;
    EXPECT_EQ(*w.engine().exchange("!01,m,d", {.showReply = true}), "MD");
    EXPECT_EQ(w.engine().autoZeroReplyCode, "MD");
    EXPECT_TRUE(w.engine().autoZeroWait);

    // Multi-unit monitoring clears the line, and may time out without a box.
    w.engine().autoMultiMonitoring = true;
    w.port.dropReplies = true;
    EXPECT_EQ(w.engine().exchange("!01,f", {.reportNoReply = false}), "");
    EXPECT_EQ(w.model.lblRs.caption, "");
    EXPECT_TRUE(w.op.shown.empty() && w.engine().transactionDone);
    EXPECT_EQ(w.engine().exchange("!01,f"), "");
    EXPECT_EQ(w.op.texts(), kNoConnection);
}

// Every sender gets the reply to its own command, however the waits nest and whatever comes late.
TEST(ReplyOwnership, NestedSenderCannotTakeTheOuterSendersReply) {
    Opened w;
    std::optional<std::string> inner;
    // A second command starts while the first one waits (a button pressed during a cycle).
    w.rt.schedule(0.001, [&] { inner = w.engine().exchange("m,a"); });
    auto outer = w.engine().exchange("m,d");
    EXPECT_EQ(outer, "MD");
    EXPECT_EQ(inner, "MA");
    EXPECT_EQ(w.port.written, (std::vector<std::string>{"m,d\r", "m,a\r"}));
}

TEST(ReplyOwnership, SendDuringAnotherReplyKeepsThatReplyWhole) {
    Opened w;
    bool first = true;
    w.port.rewriteReply = [&](std::string r) {
        if (!first)
            return r;
        first = false;
        return std::string("99.007\r\n>");
    };
    w.port.chunkSizes = {2};
    std::string pendingAtSend;
    std::optional<std::string> second;
    w.rt.schedule(0.007, [&] {
        pendingAtSend = w.engine().assembler().pending();
        second = w.engine().exchange("m,a", {.wait = link::TransactionEngine::Wait::None});
    });
    auto reply = w.engine().exchange("f");
    EXPECT_FALSE(pendingAtSend.empty()); // the second command really went out mid-reply
    EXPECT_EQ(reply, "99.007");
    EXPECT_EQ(second, "MA");
}

// An answer that comes after its command timed out is never taken for the next command's, and a
// stalled transmitter cannot hold a sender for ever: the next command waits one late-answer time
// at most, and only for the device that timed out.
TEST(ReplyOwnership, NextCommandAfterATimeOutGetsItsOwnAnswer) {
    struct Case {
        const char* what;
        sim::LineMode mode;
        const char *first, *second; // the first times out
        double firstLatency;        // seconds; < 0: the first answer never comes
        bool stall, waitsForLateAnswer;
    };
    const Case cases[] = {
        {"RS-232, answer 0.5 s after the time-out", sim::LineMode::Rs232, "m,d", "m,a", 2.5, false,
         true},
        {"RS-485, the same device", sim::LineMode::Rs485, "!01,m,d", "!01,m,a", 2.5, false, true},
        // 01's "MD" arrives half a second later, while 02's command waits.
        {"RS-485, another device", sim::LineMode::Rs485, "!01,m,d", "!02,m,a", 2.5, false, false},
        {"RS-232, silent device that answers again", sim::LineMode::Rs232, "m,d", "m,a", -1, false,
         true},
        {"RS-232, stalled transmitter", sim::LineMode::Rs232, "m,d", "m,a", 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Opened w(c.mode, c.mode == sim::LineMode::Rs232 ? std::vector<std::string>{"01"}
                                                        : std::vector<std::string>{"01", "02"});
        w.engine().interfaceRs232 = c.mode == sim::LineMode::Rs232;
        w.port.dropReplies = c.firstLatency < 0;
        w.port.replyLatency = std::max(c.firstLatency, 0.0);
        w.port.stallTransmit = c.stall;
        EXPECT_EQ(w.engine().exchange(c.first), std::string{});
        EXPECT_EQ(w.op.texts(), kNoConnection);
        const double timedOutAt = w.rt.now();
        w.port.dropReplies = false;
        w.port.replyLatency = 0.002;
        if (c.stall) {
            w.port.stallTransmit = false;
            w.port.injectEvent(CE::Send); // the stalled bytes finally left
        }
        EXPECT_EQ(w.engine().exchange(c.second), "MA");
        const double waited = w.rt.now() - timedOutAt;
        EXPECT_EQ(waited >= link::TransactionEngine::kLateReplyMs / 1000.0, c.waitsForLateAnswer)
            << waited;
        EXPECT_LT(waited, link::TransactionEngine::kLateReplyMs / 1000.0 + 0.1);
        // The late answer is left on nobody, and the line is clear for the next command.
        w.rt.runFor(3);
        EXPECT_TRUE(w.engine().inFlight() == 0 && w.engine().transactionDone);
        EXPECT_EQ(w.engine().exchange(c.second), "MA");
        EXPECT_EQ(w.op.shown.size(), 1u);
    }
}

// A late reply names its device; a header in lower case names it too.
TEST(ReplyOwnership, LateReplyNamesAnotherAddress) {
    EXPECT_TRUE(link::namesOtherAddress("1a: MD", "01"));
    EXPECT_FALSE(link::namesOtherAddress("1a: MD", "1A"));
    EXPECT_FALSE(link::namesOtherAddress("x>y!MD", "1A")); // not an address: may be the answer
}

TEST(Transaction, LostPortReleasesTheSenderAndShutdownEndsAWait) {
    Opened w;
    w.port.replyLatency = 1.0;
    w.rt.schedule(0.5, [&] { w.port.loseDevice("Connection to /dev/pts/9 lost: I/O error"); });
    EXPECT_EQ(w.engine().exchange("m,d"), "");
    EXPECT_LT(w.rt.now(), 1.0); // released at once, not after the no-reply time-out
    EXPECT_EQ(w.op.texts(), std::vector<std::string>{"Connection to /dev/pts/9 lost: I/O error"});
    EXPECT_TRUE(!w.model.menu("mnuOpen").checked && w.model.imgNotConnected.visible);
    w.rt.runFor(5);
    EXPECT_EQ(w.op.shown.size(), 1u);

    w.port.replyLatency = 0.002;
    ASSERT_TRUE(w.ports.openIfClosed());
    EXPECT_EQ(*w.engine().exchange("m,d"), "MD");
    // A wait abandoned at shutdown ends cleanly, without a box.
    w.port.dropReplies = true;
    w.rt.schedule(0.5, [&] { w.rt.shutdown(); });
    EXPECT_FALSE(w.engine().exchange("m,d"));
    EXPECT_EQ(w.op.shown.size(), 1u);
}
