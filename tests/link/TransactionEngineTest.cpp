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

SimWorld& opened(SimWorld& w) {
    EXPECT_TRUE(w.ports.openIfClosed());
    return w;
}

} // namespace

TEST(Transaction, Rs232ExchangeIsUnaddressedAndStripsThePrompt) {
    SimWorld w;
    opened(w);
    auto reply = w.engine().exchange("m,d");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "MD");
    EXPECT_EQ(w.port.written.back(), "m,d\r");
    EXPECT_EQ(w.model.lblTr.caption, "m,d");
    EXPECT_EQ(w.model.lblRs.caption, "MD");
    EXPECT_TRUE(w.engine().transactionDone);
    EXPECT_FALSE(w.engine().awaitingReply);
    // The device's ">" prompt in front of the next reply is not part of it.
    EXPECT_EQ(*w.engine().exchange("m,a"), "MA");
    EXPECT_TRUE(w.op.shown.empty());
}

TEST(Transaction, Rs485ReplyLosesItsHeaderAndOnlyTheAddressedDeviceAnswers) {
    SimWorld w(sim::LineMode::Rs485, {"01", "1A"});
    opened(w);
    EXPECT_EQ(*w.engine().exchange("!1A,m,d"), "MD");
    EXPECT_EQ(w.model.lblRs.caption.size(), 6u); // the line keeps its four-character header
    EXPECT_EQ(*w.engine().exchange("!01,m,a"), "MA");
    EXPECT_TRUE(w.op.shown.empty());
    // Nobody has address 22: no reply, "No connection!".
    EXPECT_EQ(*w.engine().exchange("!22,m,a"), "");
    EXPECT_EQ(w.op.texts(), std::vector<std::string>{"No connection!"});
}

TEST(Transaction, ChunkedRepliesCompleteOnTheLineFeed) {
    for (std::vector<std::size_t> sizes : {std::vector<std::size_t>{1}, {2, 1}, {3}, {1, 100}}) {
        SimWorld w(sim::LineMode::Rs485, {"1A"});
        w.port.chunkSizes = sizes;
        opened(w);
        EXPECT_EQ(*w.engine().exchange("!1A,v,o"), "VO");
        EXPECT_TRUE(w.op.shown.empty());
    }
}

TEST(Transaction, NoReplyShowsNoConnectionOnceAfterTwoSeconds) {
    SimWorld w;
    opened(w);
    w.port.dropReplies = true;
    double sentAt = w.rt.now();
    // The operator takes five seconds to close the box: the box must still come only once.
    w.op.answer(Answer::Ok, 5.0);
    auto reply = w.engine().exchange("m,d");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "");
    ASSERT_EQ(w.op.shown.size(), 1u);
    EXPECT_EQ(w.op.shown[0].text, "No connection!");
    EXPECT_EQ(w.op.shown[0].title, "Communication Error");
    EXPECT_EQ(w.op.shown[0].icon, Icon::Information);
    EXPECT_EQ(w.op.shown[0].buttons, Buttons::Ok);
    // 2 s after the end of transmission (4 characters at 9600 baud), plus the operator's 5 s.
    double wire = 4 * 10.0 / 9600;
    EXPECT_NEAR(w.rt.now() - sentAt, wire + 2.0 + 5.0, 1e-6);
    EXPECT_TRUE(w.engine().transactionDone);
    EXPECT_FALSE(w.engine().awaitingReply);
    // Nothing more comes later.
    w.rt.runFor(10);
    EXPECT_EQ(w.op.shown.size(), 1u);
}

TEST(Transaction, SendingOnAClosedPortDoesNothingAndGivesNoStaleReply) {
    SimWorld w;
    opened(w);
    ASSERT_EQ(*w.engine().exchange("m,d"), "MD");
    ASSERT_TRUE(w.ports.closeWithDrain());
    auto writes = w.port.written.size();
    w.engine().Send("m,a");
    EXPECT_FALSE(w.engine().awaitingReply);
    EXPECT_EQ(w.port.written.size(), writes);
    auto reply = w.engine().exchange("m,a");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, ""); // not the "MD" of the previous transaction
    EXPECT_TRUE(w.op.shown.empty());
}

TEST(Transaction, LineEventShowsItsTextForTwoSecondsOnly) {
    SimWorld w;
    opened(w);
    w.port.injectEvent(CE::Cts);
    w.rt.runFor(0.001);
    EXPECT_EQ(status(w), "Status: Change in CTS Detected");
    w.rt.runFor(1.9);
    EXPECT_EQ(status(w), "Status: Change in CTS Detected");
    EXPECT_EQ(*w.engine().exchange("m,d"), "MD");
    w.rt.runFor(0.2);
    EXPECT_EQ(status(w), "Status: ");
    w.rt.runFor(5);
    EXPECT_EQ(status(w), "Status: ");
    EXPECT_TRUE(w.op.shown.empty());

    for (int event : {CE::Dsr, CE::Cd, CE::Ring, CE::Eof}) {
        w.port.injectEvent(event);
        w.rt.runFor(0.001);
        EXPECT_NE(status(w), "Status: ") << event;
    }
    EXPECT_EQ(status(w), "Status: End of File Detected");
    EXPECT_TRUE(w.op.shown.empty());
}

TEST(Transaction, PortNoticeGoesToTheStatusPanelWithoutAQuestion) {
    SimWorld w;
    opened(w);
    w.port.notice("rfc2217://10.0.0.5:4001: the server refused the COM-PORT-OPTION");
    w.rt.runFor(0.001);
    EXPECT_EQ(status(w), "Status: rfc2217://10.0.0.5:4001: the server refused the COM-PORT-OPTION");
    EXPECT_TRUE(w.op.shown.empty());
    EXPECT_TRUE(w.port.portOpen());
    EXPECT_EQ(*w.engine().exchange("m,d"), "MD");
    w.rt.runFor(2.1);
    EXPECT_EQ(status(w), "Status: ");
}

TEST(Transaction, FramingErrorsAndBreaksAreSilent) {
    SimWorld w;
    opened(w);
    w.port.injectEvent(CE::Frame);
    w.port.injectEvent(CE::Break);
    w.rt.runFor(3);
    EXPECT_EQ(status(w), "Status: ");
    EXPECT_TRUE(w.op.shown.empty());
    EXPECT_EQ(w.op.beeps, 0);
    EXPECT_TRUE(w.port.portOpen());
}

TEST(Transaction, LineErrorsAskWhetherToCloseThePort) {
    SimWorld w;
    opened(w);
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
        EXPECT_EQ(w.op.shown.back().text, text);
        EXPECT_EQ(w.op.shown.back().title, "Click Cancel to quit, OK to ignore.");
        EXPECT_EQ(w.op.shown.back().buttons, Buttons::OkCancel);
        EXPECT_EQ(status(w), "Status: " + text);
        EXPECT_TRUE(w.port.portOpen());
    }
    EXPECT_EQ(w.op.beeps, static_cast<int>(errors.size()));
    w.rt.runFor(2.1);
    EXPECT_EQ(status(w), "Status: ");

    w.op.answer(Answer::Cancel);
    w.port.injectEvent(CE::Overrun);
    w.rt.runFor(0.001);
    EXPECT_FALSE(w.port.portOpen());
}

TEST(Transaction, DrainedEventAfterTheReplyKeepsTheReply) {
    SimWorld w;
    w.port.replyBeforeDrain = true;
    opened(w);
    auto reply = w.engine().exchange("m,d");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "MD");
    w.rt.runFor(0.5); // the late drained event has come
    EXPECT_TRUE(w.engine().transactionDone);
    EXPECT_EQ(w.engine().replyText, "MD");
    // The next sender is not held up, and no time-out fires.
    EXPECT_EQ(*w.engine().exchange("m,a"), "MA");
    w.rt.runFor(5);
    EXPECT_TRUE(w.op.shown.empty());
}

TEST(Transaction, PartialLineBeforeACommandDoesNotPrefixItsReply) {
    SimWorld w;
    opened(w);
    w.port.injectReceived("VA"); // chatter without a line feed
    w.rt.runFor(0.1);
    EXPECT_EQ(*w.engine().exchange("m,d"), "MD");
}

TEST(Transaction, LateReplyWhileIdleIsShownButIgnored) {
    SimWorld w;
    opened(w);
    w.port.injectReceived("ZE\r\n");
    w.rt.runFor(0.1);
    EXPECT_EQ(w.model.lblRs.caption, "ZE");
    EXPECT_EQ(w.engine().replyText, "");
    EXPECT_TRUE(w.engine().transactionDone);
}

TEST(Transaction, ShowReplyWritesTheWholeLineAndWatchesAutoZero) {
    SimWorld w(sim::LineMode::Rs485, {"01"});
    opened(w);
    w.engine().autoZeroWait = true;
    EXPECT_EQ(*w.engine().exchange("!01,z,e", {.showReply = true}), "ZE");
    EXPECT_EQ(status(w).substr(0, 8), "Status: ");
    EXPECT_EQ(status(w).size(), 8u + 6u); // header and reply
    EXPECT_EQ(w.engine().autoZeroReplyCode, "ZE");
    EXPECT_FALSE(w.engine().autoZeroWait);
    EXPECT_FALSE(w.engine().showReply);

    w.engine().autoZeroWait = true;
    EXPECT_EQ(*w.engine().exchange("!01,m,d", {.showReply = true}), "MD");
    EXPECT_EQ(w.engine().autoZeroReplyCode, "MD");
    EXPECT_TRUE(w.engine().autoZeroWait);
}

TEST(Transaction, MultiMonitoringClearsTheReceivedLineAndMayTimeOutSilently) {
    SimWorld w(sim::LineMode::Rs485, {"01"});
    opened(w);
    w.engine().autoMultiMonitoring = true;
    w.model.lblRs.caption = "old";
    w.port.dropReplies = true;
    auto reply = w.engine().exchange("!01,f", {.reportNoReply = false});
    EXPECT_EQ(w.model.lblRs.caption, "");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "");
    EXPECT_TRUE(w.op.shown.empty());
    EXPECT_TRUE(w.engine().transactionDone);
    EXPECT_EQ(*w.engine().exchange("!01,f"), "");
    EXPECT_EQ(w.op.texts(), std::vector<std::string>{"No connection!"});
}

// Every sender gets the reply to its own command, however the waits nest and whatever comes late.
TEST(ReplyOwnership, NestedSenderCannotTakeTheOuterSendersReply) {
    SimWorld w;
    opened(w);
    std::optional<std::string> inner;
    // A second command starts while the first one waits (a button pressed during a cycle).
    w.rt.schedule(0.001, [&] { inner = w.engine().exchange("m,a"); });
    auto outer = w.engine().exchange("m,d");
    ASSERT_TRUE(outer && inner);
    EXPECT_EQ(*outer, "MD");
    EXPECT_EQ(*inner, "MA");
    EXPECT_EQ(w.port.written, (std::vector<std::string>{"m,d\r", "m,a\r"}));
}

TEST(ReplyOwnership, SendMarksTheTransactionInProgressAtOnce) {
    SimWorld w;
    opened(w);
    w.engine().Send("m,d");
    EXPECT_FALSE(w.engine().transactionDone); // before the drained event
    EXPECT_EQ(*w.engine().exchange("m,a"), "MA");
    w.rt.runFor(3);
    EXPECT_TRUE(w.op.shown.empty());
}

TEST(ReplyOwnership, SendDuringAnotherReplyKeepsThatReplyWhole) {
    SimWorld w;
    opened(w);
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
    ASSERT_TRUE(reply && second);
    EXPECT_EQ(*reply, "99.007");
    EXPECT_EQ(*second, "MA");
}

TEST(ReplyOwnership, LateDrainedEventAfterATimeOutLeavesTheEngineDone) {
    SimWorld w;
    opened(w);
    w.port.dropReplies = true;
    w.port.stallTransmit = true;
    EXPECT_EQ(*w.engine().exchange("m,d"), "");
    w.port.stallTransmit = false;
    w.port.dropReplies = false;
    w.port.injectEvent(CE::Send); // the stalled bytes finally left
    w.rt.runFor(0.01);
    EXPECT_TRUE(w.engine().transactionDone);
    double before = w.rt.now();
    EXPECT_EQ(*w.engine().exchange("m,a"), "MA");
    // Only the late-answer time of the device that timed out, not another time-out.
    EXPECT_LT(w.rt.now() - before, link::TransactionEngine::kLateReplyMs / 1000.0 + 0.1);
}

TEST(ReplyOwnership, LateReplyOfAnotherDeviceIsNotTheNextCommandsAnswer) {
    SimWorld w(sim::LineMode::Rs485, {"01", "02"});
    opened(w);
    w.port.replyLatency = 2.5;
    EXPECT_EQ(*w.engine().exchange("!01,m,d"), "");
    w.port.replyLatency = 0.002;
    // 01's "MD" arrives half a second later, while 02's command waits.
    EXPECT_EQ(*w.engine().exchange("!02,m,a"), "MA");
    EXPECT_EQ(w.op.texts(), std::vector<std::string>{"No connection!"});
    // The same holds for a header in lower case.
    EXPECT_TRUE(link::namesOtherAddress("1a: MD", "01"));
    EXPECT_FALSE(link::namesOtherAddress("1a: MD", "1A"));
    EXPECT_FALSE(link::namesOtherAddress("x>y!MD", "1A")); // not an address: may be the answer
}

TEST(Transaction, StalledTransmitterCannotHoldASenderForEver) {
    SimWorld w;
    opened(w);
    w.port.stallTransmit = true;
    auto reply = w.engine().exchange("m,d");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "");
    EXPECT_EQ(w.op.texts(), std::vector<std::string>{"No connection!"});
}

TEST(Transaction, LostPortReleasesTheSenderAndCanBeOpenedAgain) {
    SimWorld w;
    opened(w);
    w.port.replyLatency = 1.0;
    w.rt.schedule(0.5, [&] { w.port.loseDevice("Connection to /dev/pts/9 lost: I/O error"); });
    auto reply = w.engine().exchange("m,d");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "");
    EXPECT_LT(w.rt.now(), 1.0); // released at once, not after the no-reply time-out
    EXPECT_EQ(w.op.texts(), std::vector<std::string>{"Connection to /dev/pts/9 lost: I/O error"});
    EXPECT_FALSE(w.model.menu("mnuOpen").checked);
    EXPECT_TRUE(w.model.imgNotConnected.visible);
    EXPECT_EQ(w.model.sbrStatus["Settings"].text, "Settings: ");
    w.rt.runFor(5);
    EXPECT_EQ(w.op.shown.size(), 1u);

    w.port.replyLatency = 0.002;
    ASSERT_TRUE(w.ports.openIfClosed());
    EXPECT_EQ(*w.engine().exchange("m,d"), "MD");
}

TEST(Transaction, AbandonedWaitEndsCleanlyOnShutdown) {
    SimWorld w;
    opened(w);
    w.port.dropReplies = true;
    w.rt.schedule(0.5, [&] { w.rt.shutdown(); });
    auto reply = w.engine().exchange("m,d");
    EXPECT_FALSE(reply);
    EXPECT_TRUE(w.op.shown.empty());
}
