#include "platform/qt/QtDevicePort.h"

#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QMetaObject>
#include <QSocketNotifier>

#include <cctype>
#include <limits>
#include <poll.h>
#include <vector>

namespace kvt::platform::qt {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        fields.push_back(trimmed(text.substr(start, comma - start)));
        if (comma == std::string::npos)
            return fields;
        start = comma + 1;
    }
}

QSerialPort::Parity toQt(char parity) {
    switch (parity) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    case 'm':
        return QSerialPort::MarkParity;
    case 's':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits toQt(const std::string& stopBits) {
    if (stopBits == "2")
        return QSerialPort::TwoStop;
    if (stopBits == "1.5")
        return QSerialPort::OneAndHalfStop;
    return QSerialPort::OneStop;
}

QSerialPort::FlowControl flowControl(int handshaking) {
    switch (handshaking) {
    case 1:
        return QSerialPort::SoftwareControl;
    case 2:
        return QSerialPort::HardwareControl;
    case 3:
        // RTS and Xon/Xoff together: QSerialPort has no combined mode, and RTS/CTS is the one that
        // protects the receiver, so it wins.
        return QSerialPort::HardwareControl;
    default:
        return QSerialPort::NoFlowControl;
    }
}

// A device that is hung up (pseudo-terminal peer closed, USB adapter pulled) makes read() return 0:
// QSerialPort then reports nothing at all while its read notifier fires on every loop pass. This
// filter sits on that notifier and turns the hang-up into a loss of the port. A notifier whose last
// firing brought data is not probed: a hung-up device brings none, so it is found one firing later,
// and a busy line costs no extra system call per chunk.
class HangUpWatch : public QObject {
public:
    explicit HangUpWatch(std::function<void()> onHangUp) : onHangUp_(std::move(onHangUp)) {}

    void dataArrived() { lastFiringHadData_ = true; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::SockAct)
            return false;
        auto* notifier = qobject_cast<QSocketNotifier*>(watched);
        if (!notifier || notifier->type() != QSocketNotifier::Read)
            return false;
        if (lastFiringHadData_) {
            lastFiringHadData_ = false;
            return false;
        }
        if (!hungUp(notifier->socket()))
            return false;
        notifier->setEnabled(false);
        onHangUp_();
        return true;
    }

private:
    static bool hungUp(qintptr fd) {
        pollfd probe{static_cast<int>(fd), POLLIN, 0};
        return ::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    std::function<void()> onHangUp_;
    bool lastFiringHadData_ = false;
};

} // namespace

std::string LineSettings::text() const {
    return std::to_string(baud) + ',' + parity + ',' + std::to_string(dataBits) + ',' + stopBits;
}

std::optional<LineSettings> LineSettings::parse(const std::string& text) {
    const auto fields = splitFields(text);
    if (fields.size() != 4)
        return std::nullopt;
    LineSettings line;

    const std::string& speed = fields[0];
    if (speed.empty() || speed.size() > 10)
        return std::nullopt;
    std::int64_t baud = 0;
    for (char c : speed) {
        if (c < '0' || c > '9')
            return std::nullopt;
        baud = baud * 10 + (c - '0');
    }
    if (baud <= 0 || baud > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    line.baud = static_cast<std::int32_t>(baud);

    if (fields[1].size() != 1)
        return std::nullopt;
    line.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(fields[1][0])));
    if (std::string_view("eonms").find(line.parity) == std::string_view::npos)
        return std::nullopt;

    if (fields[2].size() != 1 || fields[2][0] < '5' || fields[2][0] > '8')
        return std::nullopt;
    line.dataBits = fields[2][0] - '0';

    if (fields[3] != "1" && fields[3] != "1.5" && fields[3] != "2")
        return std::nullopt;
    line.stopBits = fields[3];
    return line;
}

QtDevicePort::QtDevicePort()
    : hangUpWatch_(std::make_unique<HangUpWatch>([this] { postLoss("the device hung up"); })) {
    // Data and drain signals come from the port's notifiers in the event loop, never from inside
    // a setter, so they go to the handler at once: an extra posted hop per event costs a loop
    // pass and a wake-up for every chunk received.
    QObject::connect(&port_, &QSerialPort::readyRead, &context_, [this] {
        static_cast<HangUpWatch*>(hangUpWatch_.get())->dataArrived();
        // Judged before the handler runs: the read that completes a reply is no stream.
        const bool unsolicited = !replyAwaited_;
        deliver(CommEvent::Receive, generation_);
        // A prompt after a reply comes alone; only a stream is worth gathering.
        if (unsolicited && !replyAwaited_) {
            if (lastUnsolicited_.isValid() && lastUnsolicited_.elapsed() < 5 * kGatherMs)
                pauseReading();
            lastUnsolicited_.start();
        }
    });
    gather_.setSingleShot(true);
    gather_.setInterval(kGatherMs);
    QObject::connect(&gather_, &QTimer::timeout, &context_, [this] { resumeReading(); });
    QObject::connect(&port_, &QSerialPort::bytesWritten, &context_, [this] {
        if (port_.bytesToWrite() == 0)
            deliver(CommEvent::Send, generation_);
    });
    QObject::connect(&port_, &QSerialPort::errorOccurred, &context_,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtDevicePort::~QtDevicePort() {
    handler_ = nullptr;
    QObject::disconnect(&port_, nullptr, &context_, nullptr);
    if (port_.isOpen()) {
        port_.clear(QSerialPort::Output);
        port_.close();
    }
}

PortError QtDevicePort::fail(PortError text) {
    errorText_ = text;
    return text;
}

std::string QtDevicePort::hostError() const {
    if (port_.error() == QSerialPort::NoError)
        return {};
    return port_.errorString().toLocal8Bit().toStdString();
}

PortError QtDevicePort::setCommPort(int port) {
    if (port_.isOpen())
        return fail(kAlreadyOpen);
    if (port < 1 || port > kMaxPort)
        return fail(kInvalidValue);
    commPort_ = port;
    return {};
}

PortError QtDevicePort::setSettings(const std::string& settings) {
    const auto line = LineSettings::parse(settings);
    if (!line)
        return fail(kInvalidValue);
    if (line->stopBits == "1.5" && !kOneAndHalfStopBits)
        return fail(kNoOneAndHalfStopBits);
    if (port_.isOpen()) {
        if (PortError error = applyLine(*line); !error.empty())
            return fail(error);
    }
    line_ = *line;
    return {};
}

PortError QtDevicePort::setHandshaking(int mode) {
    if (mode < 0 || mode > 3)
        return fail(kInvalidValue);
    if (port_.isOpen()) {
        if (PortError error = applyHandshaking(mode); !error.empty())
            return fail(error);
    }
    handshaking_ = mode;
    return {};
}

PortError QtDevicePort::applyLine(const LineSettings& line) {
    port_.clearError();
    const bool ok = port_.setBaudRate(line.baud) &&
                    port_.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits)) &&
                    port_.setParity(toQt(line.parity)) && port_.setStopBits(toQt(line.stopBits));
    if (ok) {
        port_.clearError();
        return {};
    }
    std::string error = kInvalidValue;
    if (const std::string host = hostError(); !host.empty())
        error += " (" + host + ")";
    // Back to what the line ran with, so a rejected text leaves the port as it was.
    port_.setBaudRate(line_.baud);
    port_.setDataBits(static_cast<QSerialPort::DataBits>(line_.dataBits));
    port_.setParity(toQt(line_.parity));
    port_.setStopBits(toQt(line_.stopBits));
    port_.clearError();
    return error;
}

PortError QtDevicePort::applyHandshaking(int mode) {
    port_.clearError();
    if (port_.setFlowControl(flowControl(mode))) {
        port_.clearError();
        return {};
    }
    std::string error = kInvalidValue;
    if (const std::string host = hostError(); !host.empty())
        error += " (" + host + ")";
    port_.setFlowControl(flowControl(handshaking_));
    port_.clearError();
    return error;
}

PortError QtDevicePort::setPortOpen(bool open) {
    if (open)
        return port_.isOpen() ? PortError{} : this->open();
    close();
    return {};
}

PortError QtDevicePort::open() {
    port_.setPortName(QFile::decodeName(QByteArray::fromStdString(path_)));
    // Set while closed, these are only remembered; open() applies them to the device.
    port_.setBaudRate(line_.baud);
    port_.setDataBits(static_cast<QSerialPort::DataBits>(line_.dataBits));
    port_.setParity(toQt(line_.parity));
    port_.setStopBits(toQt(line_.stopBits));
    port_.setFlowControl(flowControl(handshaking_));
    port_.clearError();
    if (!port_.open(QIODevice::ReadWrite)) {
        std::string reason = hostError();
        if (reason.empty())
            reason = "the device cannot be opened";
        port_.clearError();
        return fail("Cannot open " + path_ + ": " + reason);
    }
    // Modem-line calls fail on a pseudo-terminal; that is no reason to refuse the port.
    port_.clearError();
    for (auto* notifier : port_.findChildren<QSocketNotifier*>())
        notifier->installEventFilter(hangUpWatch_.get());
    readingPaused_ = false;
    gather_.stop();
    ++generation_;
    lossPosted_ = false;
    return {};
}

void QtDevicePort::setReplyAwaited(bool awaited) {
    replyAwaited_ = awaited;
    if (awaited)
        resumeReading();
}

void QtDevicePort::pauseReading() {
    if (!port_.isOpen() || readingPaused_)
        return;
    readingPaused_ = true;
    for (auto* notifier : port_.findChildren<QSocketNotifier*>())
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(false);
    gather_.start();
}

void QtDevicePort::resumeReading() {
    if (!readingPaused_)
        return;
    readingPaused_ = false;
    gather_.stop();
    if (!port_.isOpen())
        return;
    for (auto* notifier : port_.findChildren<QSocketNotifier*>())
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(true);
}

void QtDevicePort::close() {
    if (!port_.isOpen())
        return;
    closing_ = true;
    // Unsent output is dropped, as it would be on a line that is being closed; without this a
    // blocked line could hold close() up in the driver.
    port_.clear(QSerialPort::Output);
    port_.close();
    port_.clearError();
    closing_ = false;
    ++generation_;
}

void QtDevicePort::output(const std::string& bytes) {
    if (!port_.isOpen() || bytes.empty())
        return;
    port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string QtDevicePort::input() {
    if (!port_.isOpen())
        return {};
    return port_.readAll().toStdString();
}

int QtDevicePort::outBufferCount() const {
    if (!port_.isOpen())
        return 0;
    const qint64 count = port_.bytesToWrite();
    return count > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                   : static_cast<int>(count);
}

void QtDevicePort::onError(QSerialPort::SerialPortError error) {
    // clearError() reports NoError through this same signal.
    if (error == QSerialPort::NoError || closing_ || !port_.isOpen())
        return;
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        // The peer or the adapter went away. The port stays open and its notifier keeps firing, so
        // it is closed (from the event loop, not inside QSerialPort's own notification).
        postLoss(hostError());
        break;
    default:
        // UnsupportedOperation (modem lines on a pseudo-terminal), time-outs and the like are
        // harmless here. Qt 6 reports no parity, framing or break errors at all.
        break;
    }
}

void QtDevicePort::postLoss(std::string reason) {
    if (lossPosted_)
        return;
    lossPosted_ = true;
    const std::uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, generation, reason = std::move(reason)] {
            if (generation != generation_ || !port_.isOpen())
                return; // closed (and maybe reopened) by the program meanwhile
            close();
            errorText_ = "Connection to " + path_ + " lost";
            if (!reason.empty())
                errorText_ += ": " + reason;
            // A copy: the handler may replace itself.
            if (auto handler = handler_)
                handler(CommEvent::PortLost);
        },
        Qt::QueuedConnection);
}

void QtDevicePort::deliver(int commEvent, std::uint64_t generation) {
    if (commEvent == CommEvent::Receive)
        if (generation != generation_ || !port_.isOpen())
            return;
    if (commEvent == CommEvent::Receive && port_.bytesAvailable() == 0)
        return;
    if (auto handler = handler_)
        handler(commEvent);
}

} // namespace kvt::platform::qt
