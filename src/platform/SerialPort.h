#pragma once

#include <functional>
#include <string>

namespace kvt::platform {

// Reasons of a port event. The numbers are the ones the event table of the line handling uses, so
// an event keeps one number from the port to the texts shown for it.
namespace CommEvent {
inline constexpr int Send = 1;    // transmit buffer drained
inline constexpr int Receive = 2; // received characters are waiting
inline constexpr int Cts = 3;
inline constexpr int Dsr = 4;
inline constexpr int Cd = 5;
inline constexpr int Ring = 6;
inline constexpr int Eof = 7;
inline constexpr int Break = 1001;
inline constexpr int CtsTimeout = 1002;
inline constexpr int DsrTimeout = 1003;
inline constexpr int Frame = 1004;
inline constexpr int Overrun = 1006;
inline constexpr int CdTimeout = 1007;
inline constexpr int RxOver = 1008;
inline constexpr int RxParity = 1009;
inline constexpr int TxFull = 1010;
inline constexpr int Dcb = 1011;
// Our own: the device behind an open port went away (USB adapter pulled, peer closed). The port has
// already closed itself; errorText() says why.
inline constexpr int PortLost = 1100;
// Our own: the port has something to tell the operator that is no fault (a device server that runs
// the line without taking its settings). The port stays open; errorText() says what.
inline constexpr int PortNotice = 1101;
} // namespace CommEvent

// Error text of a port operation; empty means success.
using PortError = std::string;

// The serial line as the terminal uses it. Setters that can fail return the host's error text.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual int commPort() const = 0;
    virtual PortError setCommPort(int port) = 0;
    // "baud,parity,data,stop"; reported with the parity letter in lower case.
    virtual std::string settings() const = 0;
    virtual PortError setSettings(const std::string& settings) = 0;
    virtual int handshaking() const = 0;
    virtual PortError setHandshaking(int mode) = 0;

    virtual bool portOpen() const = 0;
    virtual PortError setPortOpen(bool open) = 0;

    virtual void output(const std::string& bytes) = 0;
    // All received bytes not yet read, one character per byte.
    virtual std::string input() = 0;
    virtual int outBufferCount() const = 0;
    // Why the port last failed or closed itself (for PortLost).
    virtual std::string errorText() const = 0;

    // Where port number `port` leads (device path or server address), for showing to the operator;
    // empty when the port has no such notion.
    virtual std::string portAddress(int port) const {
        (void)port;
        return {};
    }

    // Whether a command now waits for its reply. While none does, what arrives only goes to the
    // screen, and a port may gather it into fewer, larger reads; while one does, every byte is
    // handed on at once.
    virtual void setReplyAwaited(bool awaited) { (void)awaited; }

    // One handler for every port event; called from the event loop, never from inside a setter.
    using EventHandler = std::function<void(int commEvent)>;
    virtual void setEventHandler(EventHandler handler) = 0;
};

} // namespace kvt::platform
