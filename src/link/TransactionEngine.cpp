#include "link/TransactionEngine.h"

#include "link/CommSettings.h"
#include "link/CommandLine.h"

namespace kvt::link {

namespace CE = platform::CommEvent;

std::pair<std::string, std::string> portEventTexts(int commEvent) {
    switch (commEvent) {
    case CE::Cts:
        return {"Change in CTS Detected", ""};
    case CE::Dsr:
        return {"Change in DSR Detected", ""};
    case CE::Cd:
        return {"Change in CD Detected", ""};
    case CE::Ring:
        return {" ", ""};
    case CE::Eof:
        return {"End of File Detected", ""};
    case CE::Break:
        return {"", ""};
    case CE::CtsTimeout:
        return {"", "CTS Timeout"};
    case CE::DsrTimeout:
        return {"", "DSR Timeout"};
    case CE::Frame:
        return {"", ""};
    case CE::Overrun:
        return {"", "Overrun Error"};
    case CE::CdTimeout:
        return {"", "Carrier Detect Timeout"};
    case CE::RxOver:
        return {"", "Receive Buffer Overflow"};
    case CE::RxParity:
        return {"", "Parity Error"};
    case CE::TxFull:
        return {"", "Transmit Buffer Full"};
    case CE::Dcb:
        return {"", "Error retrieving DCB"};
    default:
        return {"", "Unknown error or event"};
    }
}

namespace {
// Output that has not drained by then is taken as gone, so a dead handshake line cannot hold a
// sender forever; the usual no-reply time-out then runs.
constexpr int kDrainWatchdogMs = 10000;
} // namespace

TransactionEngine::TransactionEngine(platform::SerialPort& port, platform::Runtime& runtime,
                                     platform::Operator& op, LinkView& view)
    : port_(port), runtime_(runtime), operator_(op), view_(view),
      timer2_(runtime.createTimer(kStatusResetMs)), timer3_(runtime.createTimer(kNoReplyMs)),
      drainWatchdog_(runtime.createTimer(kDrainWatchdogMs)) {
    timer2_->setOnTick([this] {
        view_.setStatusPanel("Status: ");
        timer2_->stop();
    });
    timer3_->setOnTick([this] { onNoReplyTick(); });
    drainWatchdog_->setOnTick([this] {
        drainWatchdog_->stop();
        if (drainPending_ && awaitingReply)
            onTransmitDrained();
    });
    port_.setEventHandler([this](int event) { onPortEvent(event); });
}

TransactionEngine::~TransactionEngine() {
    port_.setEventHandler(nullptr);
}

void TransactionEngine::Send(const std::string& line) {
    if (!port_.portOpen())
        return;
    // Whatever is waiting now came before this command and cannot be its answer.
    (void)port_.input();
    assembler_.clearPending();
    port_.output(line + "\r");
    awaitingReply = true;
    ++sendSerial_;
    drainPending_ = true;
    replyBeforeDrain_ = false;
    drainWatchdog_->start();
}

bool TransactionEngine::waitTransactionDone() {
    return runtime_.pump().waitUntil([this] { return transactionDone; });
}

bool TransactionEngine::waitWhileAwaiting() {
    return runtime_.pump().waitUntil([this] { return !awaitingReply; });
}

std::optional<std::string> TransactionEngine::exchange(const std::string& line,
                                                       ExchangeOptions options) {
    bool ok = true;
    switch (options.wait) {
    case Wait::ForDone:
        ok = waitTransactionDone();
        break;
    case Wait::WhileAwaiting:
        ok = waitWhileAwaiting();
        break;
    case Wait::None:
        break;
    }
    if (!ok)
        return std::nullopt;
    bool sent = port_.portOpen();
    Send(line);
    view_.showTransmitted(line);
    if (options.showReply)
        showReply = true;
    if (!options.waitReply)
        return std::string{};
    if (!waitWhileAwaiting())
        return std::nullopt;
    // A line that never went out has no answer; the previous reply must not pass for one.
    return sent ? replyText : std::string{};
}

void TransactionEngine::onPortEvent(int commEvent) {
    switch (commEvent) {
    case CE::Receive:
        onReceive();
        return;
    case CE::Send:
        onTransmitDrained();
        return;
    case CE::PortLost:
        reportPortLost();
        return;
    case CE::PortNotice:
        // Worth knowing, no fault: the status panel, not a box that offers to close the port.
        if (const std::string notice = port_.errorText(); !notice.empty()) {
            view_.setStatusPanel("Status: " + notice);
            timer2_->start();
        }
        return;
    default:
        break;
    }
    auto [eventText, errorText] = portEventTexts(commEvent);
    if (!eventText.empty()) {
        view_.setStatusPanel("Status: " + eventText);
        timer2_->start();
    } else if (!errorText.empty()) {
        view_.setStatusPanel("Status: " + errorText);
        operator_.beep();
        auto answer = operator_.message({errorText, "Click Cancel to quit, OK to ignore.",
                                         platform::Buttons::OkCancel, platform::Icon::None, 0});
        if (answer == platform::Answer::Cancel)
            (void)port_.setPortOpen(false);
        timer2_->start();
    }
}

void TransactionEngine::onReceive() {
    std::string text = port_.input();
    if (text.empty())
        return;
    std::optional<std::string> line = assembler_.feed(text, interfaceRs232);
    if (line)
        view_.showReceived(*line);
    if (!autoSingleMonitoring && !autoMultiMonitoring)
        view_.terminalReceived(text);
    if (!awaitingReply || !line)
        return;
    timer3_->stop();
    drainWatchdog_->stop();
    replyText = link::replyText(interfaceRs232, *line);
    awaitingReply = false;
    transactionDone = true;
    if (drainPending_)
        replyBeforeDrain_ = true;
    if (showReply) {
        view_.setStatusPanel("Status: " + *line);
        if (autoZeroWait) {
            autoZeroReplyCode = replyText.substr(0, 2);
            if (autoZeroReplyCode == "ZD" || autoZeroReplyCode == "ZE")
                autoZeroWait = false;
        }
        showReply = false;
    }
}

void TransactionEngine::onTransmitDrained() {
    if (autoMultiMonitoring) {
        drainPending_ = false;
        view_.showReceived("");
        return;
    }
    // Only our own commands start the no-reply clock: text typed in the terminal window drains too,
    // and clearing the done flag for it would leave the next sender waiting for ever.
    if (!drainPending_)
        return;
    drainPending_ = false;
    drainWatchdog_->stop();
    // The reply overtook this event; clearing now would erase it.
    if (replyBeforeDrain_) {
        replyBeforeDrain_ = false;
        return;
    }
    timer3_->start();
    transactionDone = false;
    replyText.clear();
}

void TransactionEngine::onNoReplyTick() {
    // Stopped before the box: the box is modal, and the timer would otherwise raise it again and
    // again.
    timer3_->stop();
    if (!awaitingReply)
        return;
    auto serial = sendSerial_;
    operator_.message({"No connection!", "Communication Error", platform::Buttons::Ok,
                       platform::Icon::Information, 0});
    if (serial != sendSerial_)
        return; // a newer command went out while the box was open; its flags are its own
    awaitingReply = false;
    transactionDone = true;
}

void TransactionEngine::reportPortLost() {
    timer3_->stop();
    drainWatchdog_->stop();
    drainPending_ = false;
    replyBeforeDrain_ = false;
    assembler_.clearPending();
    // A sender waiting on the lost port is released at once with no reply.
    if (awaitingReply) {
        awaitingReply = false;
        replyText.clear();
    }
    transactionDone = true;
    std::string why = port_.errorText();
    if (why.empty())
        why = "The connection to the device was lost.";
    view_.portClosedUnexpectedly();
    view_.setStatusPanel("Status: " + why);
    operator_.message({why, kApplication, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
    timer2_->start();
}

} // namespace kvt::link
