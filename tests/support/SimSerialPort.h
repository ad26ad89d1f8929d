#pragma once

#include "platform/SerialPort.h"
#include "sim/Bus.h"
#include "support/SimRuntime.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kvt::testing {

// A serial port wired to in-process simulated devices. Characters take wire time (bits per
// character / baud) both ways; faults can be injected: chunked, late, lost or garbled replies, a
// stalled transmitter, line events, a port that will not open or rejects its settings.
class SimSerialPort final : public platform::SerialPort {
public:
    SimSerialPort(SimRuntime& rt, sim::Bus* bus);

    int commPort() const override { return commPort_; }
    platform::PortError setCommPort(int port) override;
    std::string settings() const override { return settings_; }
    platform::PortError setSettings(const std::string& settings) override;
    int handshaking() const override { return handshaking_; }
    platform::PortError setHandshaking(int mode) override;
    bool portOpen() const override { return open_; }
    platform::PortError setPortOpen(bool open) override;
    void output(const std::string& bytes) override;
    std::string input() override;
    int outBufferCount() const override;
    std::string errorText() const override { return errorText_; }
    void setEventHandler(EventHandler handler) override { handler_ = std::move(handler); }

    // Faults and knobs.
    std::string failOpenWith;            // next opens fail with this text
    std::string rejectSettingsWith;      // setSettings fails with this text
    bool stallTransmit = false;          // output never drains (a dead handshake line)
    bool dropReplies = false;            // the device's answers never arrive
    double replyLatency = 0.002;         // device turnaround, seconds
    std::vector<std::size_t> chunkSizes; // split each reply into these sizes (last one repeats)
    bool replyBeforeDrain =
        false; // deliver a reply's Receive event before the command's Send event
    // Replaces each reply before it goes on the line, e.g. to garble it.
    std::function<std::string(std::string)> rewriteReply;

    // Raises a port event as the hardware would, after `delay` seconds.
    void injectEvent(int commEvent, double delay = 0.0);
    // Puts bytes on the line towards the terminal, as device chatter would.
    void injectReceived(const std::string& bytes, double delay = 0.0);
    // The device goes away while the port is open.
    void loseDevice(const std::string& why);
    // The port tells the operator something while staying open.
    void notice(const std::string& text);
    // Where each port number leads, as the Properties dialog shows it.
    std::map<int, std::string> addresses;
    std::string portAddress(int port) const override {
        auto it = addresses.find(port);
        return it == addresses.end() ? std::string{} : it->second;
    }

    // Everything the terminal wrote, as written (with CR), in order.
    std::vector<std::string> written;
    int opens = 0;

private:
    double charSeconds() const;
    void deliver(const std::string& bytes, double at);
    void raise(int event);
    // Keeps the event for cancelling at close; events already run are forgotten now and then.
    void track(SimRuntime::EventId id);

    SimRuntime& rt_;
    sim::Bus* bus_;
    int commPort_ = 1;
    std::string settings_ = "9600,n,8,1";
    int handshaking_ = 0;
    bool open_ = false;
    std::string errorText_;
    std::string rx_;
    // Bytes still in the transmitter, with the time the last of them leaves.
    std::deque<std::pair<double, std::size_t>> tx_;
    double txFreeAt_ = 0.0;
    double rxFreeAt_ = 0.0;
    EventHandler handler_;
    std::vector<SimRuntime::EventId> scheduled_;
    std::size_t prunedSize_ = 0;
};

} // namespace kvt::testing
