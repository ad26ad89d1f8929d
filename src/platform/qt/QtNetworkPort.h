#pragma once

#include "platform/NetworkAddress.h"
#include "platform/Rfc2217Codec.h"
#include "platform/SerialPort.h"
#include "platform/qt/QtDevicePort.h"

#include <QObject>
#include <QTcpSocket>

#include <cstdint>
#include <memory>
#include <string>

namespace kvt::platform::qt {

// The serial line carried by a serial device server over TCP: a raw byte stream ("tcp://") or
// Telnet with the COM-PORT-OPTION ("rfc2217://"), which also carries the line settings. Events
// behave as on a local port: Receive when data (never Telnet traffic) is waiting, Send when the
// terminal's own output has left, PortLost once when the server drops the connection.
class QtNetworkPort : public SerialPort {
public:
    static constexpr int kConnectLimitMs = 3000;

    QtNetworkPort();
    ~QtNetworkPort() override;
    QtNetworkPort(const QtNetworkPort&) = delete;
    QtNetworkPort& operator=(const QtNetworkPort&) = delete;

    // The server the next open connects to, as mapped ("tcp://HOST:PORT", "rfc2217://HOST:PORT").
    void setAddress(const std::string& url) { url_ = url; }
    const std::string& address() const { return url_; }

    int commPort() const override { return commPort_; }
    PortError setCommPort(int port) override;
    std::string settings() const override { return line_.text(); }
    PortError setSettings(const std::string& settings) override;
    int handshaking() const override { return handshaking_; }
    PortError setHandshaking(int mode) override;

    bool portOpen() const override { return socket_ != nullptr && !opening_; }
    PortError setPortOpen(bool open) override;

    void output(const std::string& bytes) override;
    std::string input() override;
    int outBufferCount() const override;
    std::string errorText() const override { return errorText_; }
    void setEventHandler(EventHandler handler) override { handler_ = std::move(handler); }

    // For tests and diagnostics: whether the server took the COM-PORT-OPTION.
    Rfc2217Codec::ComPortState comPortState() const { return codec_.comPortState(); }

private:
    PortError open();
    void close();
    PortError fail(PortError text);
    void onReadyRead();
    void onBytesWritten();
    void sendLine();
    void sendControl();
    void writeRaw(const std::string& bytes);
    void postLoss(std::string reason);
    void postNotice(std::string text);
    void deliver(int commEvent);

    QObject context_; // owns the posted calls and the socket connections
    std::unique_ptr<QTcpSocket, void (*)(QTcpSocket*)> socket_{nullptr, nullptr};
    std::string url_;
    NetworkAddress address_;
    int commPort_ = 1;
    LineSettings line_;
    int handshaking_ = 0;
    Rfc2217Codec codec_;
    std::string inbox_;
    // The terminal's own bytes are on their way; Telnet answers alone raise no drain event.
    bool dataPending_ = false;
    std::string errorText_;
    EventHandler handler_;
    std::uint64_t generation_ = 0;
    bool lossPosted_ = false;
    bool opening_ = false;
};

} // namespace kvt::platform::qt
