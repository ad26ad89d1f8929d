#pragma once

#include "platform/SerialPort.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kvt::platform::qt {

// Line parameters parsed from a settings text ("9600,n,8,1").
struct LineSettings {
    std::int32_t baud = 9600;
    char parity = 'n';          // e, o, n, m, s
    int dataBits = 8;           // 5..8
    std::string stopBits = "1"; // "1", "1.5", "2"

    std::string text() const;
    // nullopt when the text is not four valid fields.
    static std::optional<LineSettings> parse(const std::string& text);
};

// The serial line over QSerialPort, on the device path QtSerialPort maps the port number to, so any
// device, symlink or pseudo-terminal can be a port. Every event reaches the handler from a posted
// call of the event loop, never from inside QSerialPort or a setter, so a handler may close or
// reopen the port freely.
class QtDevicePort : public SerialPort {
public:
    static constexpr int kMaxPort = 16;
    static constexpr const char* kInvalidValue = "Invalid port property value";
    static constexpr const char* kAlreadyOpen = "Port already open";
    static constexpr const char* kNoOneAndHalfStopBits =
        "Stop bits 1.5 are not supported by this host";
    // termios has no 1.5 stop bits, and QSerialPort would quietly use 1 instead.
#ifdef Q_OS_WIN
    static constexpr bool kOneAndHalfStopBits = true;
#else
    static constexpr bool kOneAndHalfStopBits = false;
#endif

    QtDevicePort();
    ~QtDevicePort() override;
    QtDevicePort(const QtDevicePort&) = delete;
    QtDevicePort& operator=(const QtDevicePort&) = delete;

    int commPort() const override {
        return commPort_;
    }
    PortError setCommPort(int port) override;
    std::string settings() const override {
        return line_.text();
    }
    PortError setSettings(const std::string& settings) override;
    int handshaking() const override {
        return handshaking_;
    }
    PortError setHandshaking(int mode) override;

    bool portOpen() const override {
        return port_.isOpen();
    }
    PortError setPortOpen(bool open) override;

    void output(const std::string& bytes) override;
    std::string input() override;
    int outBufferCount() const override;
    std::string errorText() const override {
        return errorText_;
    }

    void setEventHandler(EventHandler handler) override {
        handler_ = std::move(handler);
    }

    void setReplyAwaited(bool awaited) override;

    // The device the next open uses.
    void setPath(const std::string& path) {
        path_ = path;
    }

private:
    PortError open();
    void close();
    // Applies line parameters to the open port; on failure restores the previous ones.
    PortError applyLine(const LineSettings& line);
    PortError applyHandshaking(int mode);
    PortError fail(PortError text);
    std::string hostError() const;

    void onError(QSerialPort::SerialPortError error);
    void postLoss(std::string reason);
    void deliver(int commEvent, std::uint64_t generation);
    void pauseReading();
    void resumeReading();

    QObject context_; // owns the posted calls: they die with the port
    std::unique_ptr<QObject> hangUpWatch_;
    QSerialPort port_; // destroyed before the watch that filters its notifiers
    int commPort_ = 1;
    LineSettings line_;
    int handshaking_ = 0;
    std::string path_;
    std::string errorText_;
    EventHandler handler_;
    // Bumped at every open and close, so events of an earlier opening are dropped.
    std::uint64_t generation_ = 0;
    bool lossPosted_ = false;
    bool closing_ = false;
    bool replyAwaited_ = false;
    bool readingPaused_ = false;
    // Text nobody waits for is read in batches: after a read the port listens again only when
    // this fires, instead of waking for every few characters of a fast stream.
    QTimer gather_;
    QElapsedTimer lastUnsolicited_;
    static constexpr int kGatherMs = 10;
};

} // namespace kvt::platform::qt
