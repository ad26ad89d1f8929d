#pragma once

#include "platform/SerialPort.h"

namespace kvt::testing {

// A port that hands every call to another one; tests and benchmarks override the calls they watch
// or bend.
class ForwardingPort : public platform::SerialPort {
public:
    explicit ForwardingPort(platform::SerialPort& inner) : inner_(inner) {}
    int commPort() const override { return inner_.commPort(); }
    platform::PortError setCommPort(int p) override { return inner_.setCommPort(p); }
    std::string settings() const override { return inner_.settings(); }
    platform::PortError setSettings(const std::string& s) override { return inner_.setSettings(s); }
    int handshaking() const override { return inner_.handshaking(); }
    platform::PortError setHandshaking(int m) override { return inner_.setHandshaking(m); }
    bool portOpen() const override { return inner_.portOpen(); }
    platform::PortError setPortOpen(bool o) override { return inner_.setPortOpen(o); }
    void output(const std::string& bytes) override { inner_.output(bytes); }
    std::string input() override { return inner_.input(); }
    int outBufferCount() const override { return inner_.outBufferCount(); }
    std::string errorText() const override { return inner_.errorText(); }
    void setEventHandler(EventHandler h) override { inner_.setEventHandler(std::move(h)); }
    void setReplyAwaited(bool a) override { inner_.setReplyAwaited(a); }

protected:
    platform::SerialPort& inner_;
};

} // namespace kvt::testing
