#pragma once

#include "platform/PreferenceStore.h"
#include "platform/SerialPort.h"
#include "platform/qt/QtDevicePort.h"
#include "platform/qt/QtNetworkPort.h"

#include <string>

namespace kvt::platform::qt {

// The terminal's port. Port number N is what "Ports"/"ComN" of the application's preferences maps
// it to (default /dev/ttyS<N-1>): a device path, served by QtDevicePort, or a device server
// ("tcp://HOST:PORT", "rfc2217://HOST:PORT"), served by QtNetworkPort. The choice is made when the
// port opens; port number, settings and flow control are kept here and handed to the one chosen.
class QtSerialPort : public SerialPort {
public:
    static constexpr const char* kApplication = "KVT Control Terminal";
    static constexpr const char* kPortsSection = "Ports";
    static constexpr int kMaxPort = QtDevicePort::kMaxPort;
    static constexpr const char* kInvalidValue = QtDevicePort::kInvalidValue;
    static constexpr const char* kAlreadyOpen = QtDevicePort::kAlreadyOpen;
    static constexpr bool kOneAndHalfStopBits = QtDevicePort::kOneAndHalfStopBits;

    explicit QtSerialPort(PreferenceStore& preferences);
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    int commPort() const override { return commPort_; }
    PortError setCommPort(int port) override;
    std::string settings() const override { return settings_; }
    PortError setSettings(const std::string& settings) override;
    int handshaking() const override { return handshaking_; }
    PortError setHandshaking(int mode) override;

    bool portOpen() const override { return open_ && open_->portOpen(); }
    PortError setPortOpen(bool open) override;

    void output(const std::string& bytes) override;
    std::string input() override;
    int outBufferCount() const override;
    std::string errorText() const override { return errorText_; }
    void setEventHandler(EventHandler handler) override { handler_ = std::move(handler); }
    void setReplyAwaited(bool awaited) override {
        replyAwaited_ = awaited;
        if (open_)
            open_->setReplyAwaited(awaited);
    }

    std::string portAddress(int port) const override { return devicePath(port); }

    // The device path or server address that port number `port` stands for.
    std::string devicePath(int port) const;

private:
    // The port that serves `commPort_` now: the open one, else the one the mapping names.
    SerialPort& chosen();
    PortError fail(PortError text);
    void forward(SerialPort* from, int commEvent);

    PreferenceStore& preferences_;
    QtDevicePort device_;
    QtNetworkPort network_;
    SerialPort* open_ = nullptr;
    int commPort_ = 1;
    std::string settings_ = "9600,n,8,1";
    int handshaking_ = 0;
    bool replyAwaited_ = false;
    std::string errorText_;
    EventHandler handler_;
};

} // namespace kvt::platform::qt
