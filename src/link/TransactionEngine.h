#pragma once

#include "link/ReplyAssembler.h"
#include "platform/Operator.h"
#include "platform/Runtime.h"
#include "platform/SerialPort.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kvt::link {

// What the engine shows in the main window; the main window's logic implements it.
class LinkView {
public:
    virtual ~LinkView() = default;
    virtual void showTransmitted(const std::string& line) = 0; // lblTr
    virtual void showReceived(const std::string& line) = 0;    // lblRs
    virtual void setStatusPanel(const std::string& text) = 0;  // the "Status" panel
    // Received text as it came, for the terminal window (and its log).
    virtual void terminalReceived(const std::string& text) = 0;
    // The port closed without the main window asking (the device went away).
    virtual void portClosedUnexpectedly() = 0;
};

// Sees every exchange on the line (for statistics). Called from inside the engine: it must not
// call back into it. Send ids are those Send() returns.
class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    // The command went out to `address` ("" when unaddressed).
    virtual void commandWritten(std::uint64_t id, std::string_view address) = 0;
    // A completed line was handed to send `id` as its reply.
    virtual void replyTaken(std::uint64_t id, std::string_view line) = 0;
    // A completed line that answers nothing: it named another address than send `id`, or no
    // command was waiting (`id` 0).
    virtual void lineDropped(std::uint64_t id, std::string_view line) = 0;
    // Send `id` got no reply in time; `partial`: text without a line feed had come.
    virtual void timedOut(std::uint64_t id, bool partial) = 0;
};

// The one transaction of the program: send a line, assemble the reply, time out after two seconds.
// Waits are cooperative, so handlers re-enter while one waits and several commands can be on their
// way at once. Replies come back in the order the commands went out, so the engine hands each
// completed line to the oldest send still waiting: every exchange gets its own reply, whatever
// nested waits do to the shared flags.
class TransactionEngine {
public:
    TransactionEngine(platform::SerialPort& port, platform::Runtime& runtime,
                      platform::Operator& op, LinkView& view);
    ~TransactionEngine();

    // Program-wide flags (initial values as at program start).
    bool awaitingReply = false;
    bool transactionDone = true;
    std::string replyText;
    bool showReply = false;
    bool autoZeroWait = false;
    std::string autoZeroReplyCode;
    bool cancelSending = false;
    bool tableChanged = false;

    // Set by the main window while its monitoring loops run.
    bool autoSingleMonitoring = false;
    bool autoMultiMonitoring = false;
    // True = RS-232 (unaddressed), false = RS-485.
    bool interfaceRs232 = true;

    // Identifies one send; 0 is a line that never went out (the port was closed).
    using SendId = std::uint64_t;

    // Writes the line and a carriage return if the port is open, and raises the awaiting-reply flag
    // and clears the transaction-done flag. Never waits; with the port closed it does nothing at
    // all. `reportNoReply` false: a time-out of this send releases it without "No connection!".
    SendId Send(const std::string& line, bool reportNoReply = true);

    // The waits of the standard transaction. They return false when the program is shutting down.
    bool waitTransactionDone();
    bool waitWhileAwaiting();

    // What a sender waits for before it sends.
    enum class Wait { ForDone, WhileAwaiting, None };
    struct ExchangeOptions {
        Wait wait = Wait::ForDone;
        bool showReply = false;    // have the reply written to the status panel
        bool waitReply = true;     // false: send and return at once with the empty text
        bool reportNoReply = true; // false: a time-out gives the empty reply without a box
    };
    // Steps 4 to 6 of the standard transaction: wait, send, show the line, wait for the reply.
    // Returns the reply text (empty: no reply), or nullopt when the wait was abandoned.
    std::optional<std::string> exchange(const std::string& line, ExchangeOptions options);
    std::optional<std::string> exchange(const std::string& line) { return exchange(line, {}); }

    // The port's one event handler.
    void onPortEvent(int commEvent);
    // The port was closed: sends still waiting get no reply, and nobody waits for one.
    void portClosed();
    // Commands sent and not yet answered or timed out.
    std::size_t inFlight() const { return outstanding_.size(); }

    // At most one observer; nullptr removes it.
    void setObserver(LinkObserver* observer) { observer_ = observer; }

    platform::Timer& Timer2() { return *timer2_; }
    platform::Timer& Timer3() { return *timer3_; }
    const ReplyAssembler& assembler() const { return assembler_; }

    static constexpr int kNoReplyMs = 2000;
    static constexpr int kStatusResetMs = 2000;
    // How long a device that timed out still gets for a late answer before the next command goes
    // to it, so that answer is not taken for the next command's.
    static constexpr int kLateReplyMs = 1000;

private:
    struct Outstanding {
        SendId id;
        std::string address; // RS-485 address the command went to, upper case; "" if unaddressed
        bool reportNoReply;
        bool collect; // a sender will ask for the answer
    };

    void onReceive();
    void onTransmitDrained();
    void onNoReplyTick();
    void reportPortLost();
    // The oldest send still waiting gets `reply` (empty: none came).
    void answerOldest(const std::string& reply);
    void answer(SendId id, const std::string& reply);
    void updateFlags();
    // Waits out the late-answer time of the device `line` goes to; false when the program is
    // shutting down.
    bool letLateAnswerPass(const std::string& line);

    platform::SerialPort& port_;
    platform::Runtime& runtime_;
    platform::Operator& operator_;
    LinkView& view_;
    std::unique_ptr<platform::Timer> timer2_;
    std::unique_ptr<platform::Timer> timer3_;
    std::unique_ptr<platform::Timer> drainWatchdog_;
    std::unique_ptr<platform::Timer> lateTimer_;
    // Devices that timed out ("" on RS-232), and until when (monotonic seconds) a late answer of
    // theirs is expected.
    std::map<std::string, double> lateUntil_;
    ReplyAssembler assembler_;
    std::deque<Outstanding> outstanding_;
    // Answers (or time-outs) that their senders have not collected yet.
    std::map<SendId, std::string> answers_;
    // Our own bytes may still be in the transmitter; its drained event has not come yet.
    bool undrained_ = false;
    SendId lastId_ = 0;
    LinkObserver* observer_ = nullptr;
};

// True when an RS-485 reply line's header names another device than `address`: its first two
// characters are hexadecimal digits of a different address. Any other header may be the answer.
bool namesOtherAddress(std::string_view replyLine, std::string_view address);

// Texts of the port events: (event text, error text); at most one is non-empty.
std::pair<std::string, std::string> portEventTexts(int commEvent);

} // namespace kvt::link
