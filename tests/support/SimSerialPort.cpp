#include "support/SimSerialPort.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <regex>
#include <utility>

namespace kvt::testing {

SimSerialPort::SimSerialPort(SimRuntime& rt, sim::Bus* bus) : rt_(rt), bus_(bus) {}

platform::PortError SimSerialPort::setCommPort(int port) {
    if (open_)
        return "Port already open";
    if (port < 1 || port > 16)
        return "Invalid port number";
    commPort_ = port;
    return {};
}

platform::PortError SimSerialPort::setSettings(const std::string& settings) {
    if (!rejectSettingsWith.empty())
        return rejectSettingsWith;
    // Baud, parity, data bits, stop bits; the parity is kept in lower case.
    static const std::regex form("([0-9]+),([eonmsEONMS]),([5-8]),(1|1\\.5|2)");
    std::smatch m;
    if (!std::regex_match(settings, m, form))
        return "Invalid port property value";
    const char parity = static_cast<char>(std::tolower(static_cast<unsigned char>(m[2].str()[0])));
    settings_ = m[1].str() + "," + parity + "," + m[3].str() + "," + m[4].str();
    return {};
}

platform::PortError SimSerialPort::setHandshaking(int mode) {
    if (mode < 0 || mode > 3)
        return "Invalid port property value";
    handshaking_ = mode;
    return {};
}

platform::PortError SimSerialPort::setPortOpen(bool open) {
    if (open == open_)
        return open ? "Port already open" : std::string{};
    if (open) {
        if (!failOpenWith.empty())
            return failOpenWith;
        ++opens;
    }
    open_ = open;
    rx_.clear();
    tx_.clear();
    // Whatever was on its way belongs to the old session.
    for (auto id : scheduled_)
        rt_.cancel(id);
    scheduled_.clear();
    txFreeAt_ = rxFreeAt_ = rt_.now();
    return {};
}

double SimSerialPort::charSeconds() const {
    // The settings are always valid here: the default, or what setSettings accepted.
    double baud = 9600.0, data = 8.0, stop = 1.0;
    char parity = 'n';
    std::sscanf(settings_.c_str(), "%lf,%c,%lf,%lf", &baud, &parity, &data, &stop);
    return (1.0 + data + (parity == 'n' ? 0.0 : 1.0) + stop) / (baud > 0 ? baud : 9600.0);
}

void SimSerialPort::track(SimRuntime::EventId id) {
    scheduled_.push_back(id);
    if (scheduled_.size() >= 2 * prunedSize_ + 64) {
        std::erase_if(scheduled_, [this](SimRuntime::EventId e) { return !rt_.pending(e); });
        prunedSize_ = scheduled_.size();
    }
}

void SimSerialPort::raise(int event) {
    if (handler_)
        handler_(event);
}

void SimSerialPort::output(const std::string& bytes) {
    if (!open_)
        return;
    written.push_back(bytes);
    if (stallTransmit) {
        tx_.emplace_back(std::numeric_limits<double>::infinity(), bytes.size());
        return;
    }
    double start = std::max(rt_.now(), txFreeAt_);
    double end = start + bytes.size() * charSeconds();
    txFreeAt_ = end;
    tx_.emplace_back(end, bytes.size());
    track(rt_.schedule(end - rt_.now(), [this, bytes] {
        if (!tx_.empty())
            tx_.pop_front();
        std::string reply = bus_ ? bus_->receive(bytes, rt_.now()) : std::string{};
        if (!reply.empty() && !dropReplies) {
            if (rewriteReply)
                reply = rewriteReply(reply);
            deliver(reply, rt_.now() + replyLatency + (bus_ ? bus_->replyDelay() : 0.0));
        }
        if (!tx_.empty())
            return;
        if (replyBeforeDrain && !reply.empty() && !dropReplies)
            track(rt_.schedule(rxFreeAt_ - rt_.now() + 1e-4,
                               [this] { raise(platform::CommEvent::Send); }));
        else
            raise(platform::CommEvent::Send);
    }));
}

void SimSerialPort::deliver(const std::string& bytes, double at) {
    double t = std::max(at, rxFreeAt_);
    std::size_t pos = 0;
    std::size_t chunkIndex = 0;
    while (pos < bytes.size()) {
        std::size_t size = bytes.size() - pos;
        if (!chunkSizes.empty())
            size = std::min(size, chunkSizes[std::min(chunkIndex, chunkSizes.size() - 1)]);
        size = std::max<std::size_t>(size, 1);
        std::string chunk = bytes.substr(pos, size);
        pos += size;
        t += chunk.size() * charSeconds();
        track(rt_.schedule(t - rt_.now(), [this, chunk] {
            if (!open_)
                return;
            rx_ += chunk;
            raise(platform::CommEvent::Receive);
        }));
        ++chunkIndex;
    }
    rxFreeAt_ = t;
}

std::string SimSerialPort::input() {
    return std::exchange(rx_, {});
}

int SimSerialPort::outBufferCount() const {
    std::size_t n = 0;
    for (const auto& [end, size] : tx_)
        if (end > rt_.now())
            n += size;
    return static_cast<int>(n);
}

void SimSerialPort::injectEvent(int commEvent, double delay) {
    track(rt_.schedule(delay, [this, commEvent] {
        if (open_)
            raise(commEvent);
    }));
}

void SimSerialPort::injectReceived(const std::string& bytes, double delay) {
    deliver(bytes, rt_.now() + delay);
}

void SimSerialPort::loseDevice(const std::string& why) {
    if (!open_)
        return;
    setPortOpen(false);
    errorText_ = why;
    rt_.schedule(0.0, [this] { raise(platform::CommEvent::PortLost); });
}

void SimSerialPort::notice(const std::string& text) {
    rt_.schedule(0.0, [this, text] {
        errorText_ = text;
        raise(platform::CommEvent::PortNotice);
    });
}

} // namespace kvt::testing
