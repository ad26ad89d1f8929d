#include "platform/qt/QtNetworkPort.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <limits>

namespace kvt::platform::qt {

namespace {

void dropSocket(QTcpSocket* socket) {
    socket->disconnect();
    socket->abort();
    // Never deleted on the spot: the call may come from inside one of the socket's own signals.
    socket->deleteLater();
}

std::string text(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

} // namespace

QtNetworkPort::QtNetworkPort() = default;

QtNetworkPort::~QtNetworkPort() {
    handler_ = nullptr;
    close();
}

PortError QtNetworkPort::fail(PortError text) {
    errorText_ = text;
    return text;
}

PortError QtNetworkPort::setCommPort(int port) {
    if (socket_)
        return fail(QtDevicePort::kAlreadyOpen);
    if (port < 1 || port > QtDevicePort::kMaxPort)
        return fail(QtDevicePort::kInvalidValue);
    commPort_ = port;
    return {};
}

PortError QtNetworkPort::setSettings(const std::string& settings) {
    // The server's line takes 1.5 stop bits, so unlike a local port nothing more is refused here.
    const auto line = LineSettings::parse(settings);
    if (!line)
        return fail(QtDevicePort::kInvalidValue);
    line_ = *line;
    sendLine();
    return {};
}

PortError QtNetworkPort::setHandshaking(int mode) {
    if (mode < 0 || mode > 3)
        return fail(QtDevicePort::kInvalidValue);
    handshaking_ = mode;
    sendControl();
    return {};
}

PortError QtNetworkPort::setPortOpen(bool open) {
    // Asked again from an event handled while the first open still waits for the server.
    if (open && opening_)
        return fail("Cannot open " + url_ + ": still connecting");
    if (open)
        return socket_ ? PortError{} : this->open();
    close();
    return {};
}

PortError QtNetworkPort::open() {
    std::string error;
    const auto address = parseNetworkAddress(url_, error);
    if (!address)
        return fail(error);
    address_ = *address;
    codec_ = Rfc2217Codec{};
    inbox_.clear();
    dataPending_ = false;
    lossPosted_ = false;
    const std::uint64_t generation = ++generation_;

    socket_ = {new QTcpSocket, dropSocket};
    opening_ = true;
    struct Opened {
        bool& flag;
        ~Opened() { flag = false; }
    } opened{opening_};
    QTcpSocket* socket = socket_.get();
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    // A nested loop, so the window stays live while the server is looked up and connected; the
    // limit keeps an unreachable host from holding the operator for the system's long time-out.
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer); // a coarse one may give up a few per cent early
    bool expired = false;
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        expired = true;
        loop.quit();
    });
    QObject::connect(socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    limit.start(kConnectLimitMs);
    socket->connectToHost(QString::fromStdString(address_.host), address_.port);
    if (socket->state() != QAbstractSocket::ConnectedState &&
        socket->state() != QAbstractSocket::UnconnectedState)
        loop.exec();
    if (generation != generation_ || socket_.get() != socket)
        return fail("Cannot open " + url_ + ": closed while connecting");
    if (socket->state() != QAbstractSocket::ConnectedState) {
        std::string reason =
            expired ? "no answer within " + std::to_string(kConnectLimitMs / 1000) + " seconds"
                    : text(socket->errorString());
        socket_.reset();
        return fail("Cannot open " + url_ + ": " + reason);
    }
    QObject::disconnect(socket, nullptr, &loop, nullptr);

    QObject::connect(socket, &QTcpSocket::readyRead, &context_, [this] { onReadyRead(); });
    QObject::connect(socket, &QTcpSocket::bytesWritten, &context_, [this] { onBytesWritten(); });
    QObject::connect(socket, &QTcpSocket::disconnected, &context_,
                     [this] { postLoss("the server closed the connection"); });
    QObject::connect(
        socket, &QTcpSocket::errorOccurred, &context_,
        [this, socket](QAbstractSocket::SocketError) { postLoss(text(socket->errorString())); });

    if (address_.kind == NetworkAddress::Kind::Rfc2217) {
        writeRaw(codec_.start());
        // The settings go out before any data, so wait (within the same limit) for the server
        // to take or refuse the option.
        QObject::connect(socket, &QTcpSocket::readyRead, &loop, [&] {
            if (codec_.comPortState() != Rfc2217Codec::ComPortState::Pending)
                loop.quit();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
        if (codec_.comPortState() == Rfc2217Codec::ComPortState::Pending && !expired &&
            limit.remainingTime() > 0)
            loop.exec();
        QObject::disconnect(socket, nullptr, &loop, nullptr);
        if (generation != generation_ || socket_.get() != socket)
            return fail("Cannot open " + url_ + ": closed while connecting");
        if (socket->state() != QAbstractSocket::ConnectedState) {
            socket_.reset();
            return fail("Cannot open " + url_ + ": the server closed the connection");
        }
        if (codec_.comPortState() == Rfc2217Codec::ComPortState::Accepted) {
            sendLine();
            sendControl();
        } else {
            postNotice(url_ + ": the server " +
                       (codec_.comPortState() == Rfc2217Codec::ComPortState::Refused
                            ? "refused"
                            : "did not answer") +
                       " the COM-PORT-OPTION; the line settings stay as the server has them");
        }
    }
    // Anything that arrived while opening is reported now that the caller has its port.
    if (!inbox_.empty())
        QMetaObject::invokeMethod(
            &context_,
            [this, generation] {
                if (generation == generation_ && socket_)
                    deliver(CommEvent::Receive);
            },
            Qt::QueuedConnection);
    return {};
}

void QtNetworkPort::close() {
    if (!socket_)
        return;
    ++generation_;
    socket_.reset();
    inbox_.clear();
    dataPending_ = false;
}

void QtNetworkPort::writeRaw(const std::string& bytes) {
    if (socket_ && !bytes.empty())
        socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void QtNetworkPort::sendLine() {
    if (!socket_ || address_.kind != NetworkAddress::Kind::Rfc2217 ||
        codec_.comPortState() != Rfc2217Codec::ComPortState::Accepted)
        return;
    writeRaw(Rfc2217Codec::setBaudRate(static_cast<std::uint32_t>(line_.baud)) +
             Rfc2217Codec::setDataSize(line_.dataBits) + Rfc2217Codec::setParity(line_.parity) +
             Rfc2217Codec::setStopSize(line_.stopBits));
}

void QtNetworkPort::sendControl() {
    if (!socket_ || address_.kind != NetworkAddress::Kind::Rfc2217 ||
        codec_.comPortState() != Rfc2217Codec::ComPortState::Accepted)
        return;
    writeRaw(Rfc2217Codec::setControl(handshaking_));
}

void QtNetworkPort::output(const std::string& bytes) {
    if (!socket_ || bytes.empty())
        return;
    dataPending_ = true;
    writeRaw(address_.kind == NetworkAddress::Kind::Rfc2217 ? Rfc2217Codec::escape(bytes) : bytes);
}

std::string QtNetworkPort::input() {
    std::string out;
    out.swap(inbox_);
    return out;
}

int QtNetworkPort::outBufferCount() const {
    if (!socket_)
        return 0;
    const qint64 count = socket_->bytesToWrite();
    return count > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                   : static_cast<int>(count);
}

void QtNetworkPort::onReadyRead() {
    if (!socket_)
        return;
    const QByteArray bytes = socket_->readAll();
    if (address_.kind == NetworkAddress::Kind::Rfc2217) {
        inbox_ += codec_.feed(std::string_view(bytes.constData(), bytes.size()));
        writeRaw(codec_.takeReplies());
    } else {
        inbox_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    if (!inbox_.empty())
        deliver(CommEvent::Receive);
}

void QtNetworkPort::onBytesWritten() {
    if (!socket_ || socket_->bytesToWrite() != 0 || !dataPending_)
        return;
    dataPending_ = false;
    deliver(CommEvent::Send);
}

void QtNetworkPort::postLoss(std::string reason) {
    if (lossPosted_)
        return;
    lossPosted_ = true;
    const std::uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, generation, reason = std::move(reason)] {
            if (generation != generation_ || !socket_)
                return; // closed (and maybe reopened) by the program meanwhile
            // Data that came with the hang-up is still the device's answer.
            if (socket_->bytesAvailable() > 0)
                onReadyRead();
            close();
            errorText_ = "Connection to " + url_ + " lost";
            if (!reason.empty())
                errorText_ += ": " + reason;
            if (auto handler = handler_)
                handler(CommEvent::PortLost);
        },
        Qt::QueuedConnection);
}

void QtNetworkPort::postNotice(std::string text) {
    const std::uint64_t generation = generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, generation, text = std::move(text)] {
            if (generation != generation_ || !socket_)
                return;
            errorText_ = text;
            if (auto handler = handler_)
                handler(CommEvent::PortNotice);
        },
        Qt::QueuedConnection);
}

void QtNetworkPort::deliver(int commEvent) {
    // Nothing reaches the handler before setPortOpen() has returned.
    if (opening_ || (commEvent == CommEvent::Receive && inbox_.empty()))
        return;
    if (auto handler = handler_)
        handler(commEvent);
}

} // namespace kvt::platform::qt
