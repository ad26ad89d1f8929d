#include "platform/qt/QtSerialPort.h"

#include "platform/NetworkAddress.h"

namespace kvt::platform::qt {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

QtSerialPort::QtSerialPort(PreferenceStore& preferences) : preferences_(preferences) {
    device_.setEventHandler([this](int event) { forward(&device_, event); });
    network_.setEventHandler([this](int event) { forward(&network_, event); });
}

std::string QtSerialPort::devicePath(int port) const {
    const std::string fallback = "/dev/ttyS" + std::to_string(port - 1);
    const std::string path = trimmed(
        preferences_.get(kApplication, kPortsSection, "Com" + std::to_string(port), fallback));
    return path.empty() ? fallback : path;
}

SerialPort& QtSerialPort::chosen() {
    if (open_)
        return *open_;
    if (looksLikeNetworkAddress(devicePath(commPort_)))
        return network_;
    return device_;
}

PortError QtSerialPort::fail(PortError text) {
    errorText_ = text;
    return text;
}

PortError QtSerialPort::setCommPort(int port) {
    if (portOpen())
        return fail(kAlreadyOpen);
    if (PortError error = device_.setCommPort(port); !error.empty())
        return fail(error);
    (void)network_.setCommPort(port);
    commPort_ = port;
    return {};
}

PortError QtSerialPort::setSettings(const std::string& settings) {
    SerialPort& port = chosen();
    if (PortError error = port.setSettings(settings); !error.empty())
        return fail(error);
    settings_ = port.settings();
    return {};
}

PortError QtSerialPort::setHandshaking(int mode) {
    SerialPort& port = chosen();
    if (PortError error = port.setHandshaking(mode); !error.empty())
        return fail(error);
    handshaking_ = mode;
    return {};
}

PortError QtSerialPort::setPortOpen(bool open) {
    if (!open) {
        if (open_)
            (void)open_->setPortOpen(false);
        open_ = nullptr;
        return {};
    }
    if (portOpen())
        return {};
    open_ = nullptr;
    const std::string path = devicePath(commPort_);
    SerialPort* port = &device_;
    if (looksLikeNetworkAddress(path)) {
        network_.setAddress(path);
        port = &network_;
    } else {
        device_.setPath(path);
    }
    // Settings taken while another kind of port was mapped may not suit this one.
    for (PortError error : {port->setCommPort(commPort_), port->setSettings(settings_),
                            port->setHandshaking(handshaking_)})
        if (!error.empty())
            return fail("Cannot open " + path + ": " + error);
    if (PortError error = port->setPortOpen(true); !error.empty())
        return fail(error);
    open_ = port;
    open_->setReplyAwaited(replyAwaited_);
    return {};
}

void QtSerialPort::output(const std::string& bytes) {
    if (open_)
        open_->output(bytes);
}

std::string QtSerialPort::input() {
    return open_ ? open_->input() : std::string{};
}

int QtSerialPort::outBufferCount() const {
    return open_ ? open_->outBufferCount() : 0;
}

void QtSerialPort::forward(SerialPort* from, int commEvent) {
    if (from != open_)
        return;
    if (commEvent == CommEvent::PortLost || commEvent == CommEvent::PortNotice)
        errorText_ = from->errorText();
    if (commEvent == CommEvent::PortLost)
        open_ = nullptr;
    if (auto handler = handler_)
        handler(commEvent);
}

} // namespace kvt::platform::qt
