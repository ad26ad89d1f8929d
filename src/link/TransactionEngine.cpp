#include "link/TransactionEngine.h"

#include "link/CommSettings.h"
#include "link/CommandLine.h"

#include <algorithm>

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

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// "!1A,f" went to 1A.
std::string addressOf(const std::string& line) {
    if (line.size() < 4 || line[0] != '!' || line[3] != ',')
        return {};
    return {upper(line[1]), upper(line[2])};
}

} // namespace

bool namesOtherAddress(std::string_view replyLine, std::string_view address) {
    if (address.size() != 2 || replyLine.size() < 2 || !isHex(replyLine[0]) || !isHex(replyLine[1]))
        return false;
    return upper(replyLine[0]) != address[0] || upper(replyLine[1]) != address[1];
}

TransactionEngine::TransactionEngine(platform::SerialPort& port, platform::Runtime& runtime,
                                     platform::Operator& op, LinkView& view)
    : port_(port), runtime_(runtime), operator_(op), view_(view),
      timer2_(runtime.createTimer(kStatusResetMs)), timer3_(runtime.createTimer(kNoReplyMs)),
      drainWatchdog_(runtime.createTimer(kDrainWatchdogMs)), lateTimer_(runtime.createTimer(10)) {
    // Only wakes the wait in letLateAnswerPass.
    lateTimer_->setOnTick([] {});
    timer2_->setOnTick([this] {
        view_.setStatusPanel("Status: ");
        timer2_->stop();
    });
    timer3_->setOnTick([this] { onNoReplyTick(); });
    drainWatchdog_->setOnTick([this] {
        drainWatchdog_->stop();
        if (undrained_)
            onTransmitDrained();
    });
    port_.setEventHandler([this](int event) { onPortEvent(event); });
}

TransactionEngine::~TransactionEngine() {
    port_.setEventHandler(nullptr);
}

TransactionEngine::SendId TransactionEngine::Send(const std::string& line, bool reportNoReply) {
    if (!port_.portOpen())
        return 0;
    // With nothing awaited, whatever is waiting now came before this command and cannot be its
    // answer. With a reply still awaited it may be that reply, and must stay.
    if (outstanding_.empty()) {
        (void)port_.input();
        assembler_.clearPending();
    }
    port_.output(line + "\r");
    SendId id = ++lastId_;
    outstanding_.push_back(
        {id, interfaceRs232 ? std::string{} : addressOf(line), reportNoReply, true});
    if (observer_)
        observer_->commandWritten(id, outstanding_.back().address);
    updateFlags();
    undrained_ = true;
    drainWatchdog_->start();
    return id;
}

void TransactionEngine::updateFlags() {
    if (awaitingReply != !outstanding_.empty())
        port_.setReplyAwaited(!outstanding_.empty());
    awaitingReply = !outstanding_.empty();
    transactionDone = outstanding_.empty();
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
    if (!ok || !letLateAnswerPass(line))
        return std::nullopt;
    SendId id = Send(line, options.reportNoReply);
    view_.showTransmitted(line);
    // A line that never went out has no answer; no earlier reply may pass for one.
    if (id == 0)
        return std::string{};
    if (options.showReply)
        showReply = true;
    if (!options.waitReply) {
        outstanding_.back().collect = false;
        return std::string{};
    }
    bool done = runtime_.pump().waitUntil([this, id] { return answers_.count(id) > 0; });
    auto it = answers_.find(id);
    if (!done) {
        if (it != answers_.end())
            answers_.erase(it);
        for (auto& o : outstanding_)
            if (o.id == id)
                o.collect = false;
        return std::nullopt;
    }
    std::string reply = std::move(it->second);
    answers_.erase(it);
    return reply;
}

bool TransactionEngine::letLateAnswerPass(const std::string& line) {
    if (lateUntil_.empty())
        return true;
    auto it = lateUntil_.find(interfaceRs232 ? std::string{} : addressOf(line));
    if (it == lateUntil_.end())
        return true;
    const double until = it->second;
    lateUntil_.erase(it);
    auto& clock = runtime_.clock();
    if (clock.monotonic() >= until || !port_.portOpen())
        return true;
    // What arrives meanwhile finds no command waiting and is dropped; Send clears the rest.
    lateTimer_->setInterval(std::max(1, static_cast<int>((until - clock.monotonic()) * 1000.0)));
    lateTimer_->start();
    bool ok = runtime_.pump().waitUntil([&] { return clock.monotonic() >= until; });
    lateTimer_->stop();
    return ok;
}

void TransactionEngine::answer(SendId id, const std::string& reply) {
    for (auto it = outstanding_.begin(); it != outstanding_.end(); ++it) {
        if (it->id != id)
            continue;
        if (it->collect)
            answers_[id] = reply;
        outstanding_.erase(it);
        break;
    }
    updateFlags();
}

void TransactionEngine::answerOldest(const std::string& reply) {
    if (!outstanding_.empty())
        answer(outstanding_.front().id, reply);
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
        if (answer == platform::Answer::Cancel) {
            (void)port_.setPortOpen(false);
            portClosed();
        }
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
    if (outstanding_.empty() || !line) {
        if (line && observer_)
            observer_->lineDropped(0, *line);
        return;
    }
    // A late answer of another device is not this command's reply; it was shown, and that is all.
    if (!interfaceRs232 && namesOtherAddress(*line, outstanding_.front().address)) {
        if (observer_)
            observer_->lineDropped(outstanding_.front().id, *line);
        return;
    }
    if (observer_)
        observer_->replyTaken(outstanding_.front().id, *line);
    replyText = link::replyText(interfaceRs232, *line);
    answerOldest(replyText);
    timer3_->stop();
    if (!outstanding_.empty() && !undrained_)
        timer3_->start(); // the next command's bytes are gone; its two seconds run from now
    if (!undrained_)
        drainWatchdog_->stop();
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
    if (autoMultiMonitoring)
        view_.showReceived("");
    // Only our own commands start the no-reply clock: text typed in the terminal window drains
    // too, and must not hold the next sender.
    if (!undrained_)
        return;
    undrained_ = false;
    drainWatchdog_->stop();
    // Every send has its answer already (the replies overtook this event, or timed out): a late
    // event must not leave the engine waiting.
    if (outstanding_.empty())
        return;
    timer3_->start();
    replyText.clear();
}

void TransactionEngine::onNoReplyTick() {
    // Stopped before the box: the box is modal, and the timer would otherwise raise it again and
    // again.
    timer3_->stop();
    if (outstanding_.empty())
        return;
    const std::deque<Outstanding> expired = outstanding_;
    // Counted from the time-out: a box kept open meanwhile is time the answer has had.
    const double lateUntil = runtime_.clock().monotonic() + kLateReplyMs / 1000.0;
    const bool partial = !assembler_.pending().empty();
    bool report = false;
    for (const auto& o : expired)
        report = report || o.reportNoReply;
    if (report)
        operator_.message({"No connection!", "Communication Error", platform::Buttons::Ok,
                           platform::Icon::Information, 0});
    // Commands sent while the box was open keep their own clock; a reply that came meanwhile
    // has already been handed out.
    for (const auto& o : expired) {
        bool stillWaiting = false;
        for (const auto& still : outstanding_)
            stillWaiting = stillWaiting || still.id == o.id;
        if (!stillWaiting)
            continue;
        lateUntil_[o.address] = lateUntil;
        if (observer_)
            observer_->timedOut(o.id, partial && o.id == expired.front().id);
        answer(o.id, {});
    }
    if (outstanding_.empty())
        replyText.clear();
}

void TransactionEngine::portClosed() {
    timer3_->stop();
    // Nothing sent before the close can answer after it.
    lateUntil_.clear();
    drainWatchdog_->stop();
    undrained_ = false;
    assembler_.clearPending();
    const std::deque<Outstanding> waiting = outstanding_;
    for (const auto& o : waiting)
        answer(o.id, {});
    if (!waiting.empty())
        replyText.clear();
    updateFlags();
}

void TransactionEngine::reportPortLost() {
    // A sender waiting on the lost port is released at once with no reply.
    portClosed();
    std::string why = port_.errorText();
    if (why.empty())
        why = "The connection to the device was lost.";
    view_.portClosedUnexpectedly();
    view_.setStatusPanel("Status: " + why);
    operator_.message({why, kApplication, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
    timer2_->start();
}

} // namespace kvt::link
