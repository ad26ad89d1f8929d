#pragma once

// A small serial device server on loopback for the network port tests: raw, or Telnet that takes,
// refuses or ignores the COM-PORT-OPTION. It records what the client sent, split into line data
// and COM-PORT commands.

#include "platform/Rfc2217Codec.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <string>
#include <vector>

namespace kvt::platform::qt::test {

// Bytes written as a list of numbers, so Telnet sequences read as the RFCs write them.
inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

class TestDeviceServer {
public:
    enum class Mode { Raw, Accept, Refuse, Silent };

    explicit TestDeviceServer(Mode mode) : mode_(mode) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { onConnection(); });
    }

    std::string url() const {
        return std::string(mode_ == Mode::Raw ? "tcp" : "rfc2217") +
               "://127.0.0.1:" + std::to_string(server_.serverPort());
    }
    int connections() const { return connections_; }
    // Everything the client sent, as sent.
    const std::string& received() const { return received_; }
    std::string data() const { return split().data; }

    // The client's bytes without Telnet: line data, and each COM-PORT command as code + value.
    struct Split {
        std::string data;
        std::vector<std::string> comPort;
    };
    Split split() const {
        using namespace kvt::platform::telnet;
        Split out;
        const std::string& r = received_;
        if (mode_ == Mode::Raw) {
            out.data = r;
            return out;
        }
        for (std::size_t i = 0; i < r.size(); ++i) {
            const auto c = static_cast<unsigned char>(r[i]);
            if (c != Iac) {
                out.data += r[i];
                continue;
            }
            if (i + 1 >= r.size())
                break;
            const auto verb = static_cast<unsigned char>(r[++i]);
            if (verb == Iac) {
                out.data += r[i];
            } else if (verb == Sb) {
                std::string body;
                for (++i; i + 1 < r.size(); ++i) {
                    if (static_cast<unsigned char>(r[i]) == Iac) {
                        ++i;
                        if (static_cast<unsigned char>(r[i]) == Se)
                            break;
                    }
                    body += r[i];
                }
                if (!body.empty() && static_cast<unsigned char>(body[0]) == ComPort)
                    out.comPort.push_back(body.substr(1));
            } else if (verb >= Will) {
                ++i; // the option
            }
        }
        return out;
    }

    void send(const std::string& bytes) {
        if (client_)
            client_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    void dropClient() {
        if (client_)
            client_->disconnectFromHost();
        client_ = nullptr;
    }
    void clear() { received_.clear(); }

private:
    void onConnection() {
        using namespace kvt::platform::telnet;
        QTcpSocket* socket = server_.nextPendingConnection();
        if (!socket)
            return;
        ++connections_;
        client_ = socket;
        received_.clear();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray got = socket->readAll();
            if (socket == client_)
                received_.append(got.constData(), static_cast<std::size_t>(got.size()));
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        std::string greeting;
        if (mode_ == Mode::Accept)
            greeting = bytes(
                {Iac, Will, Binary, Iac, Do, Binary, Iac, Will, SuppressGoAhead, Iac, Do, ComPort});
        else if (mode_ == Mode::Refuse)
            greeting = bytes({Iac, Will, Binary, Iac, Do, Binary, Iac, Dont, ComPort});
        socket->write(greeting.data(), static_cast<qint64>(greeting.size()));
    }

    Mode mode_;
    QTcpServer server_;
    QTcpSocket* client_ = nullptr;
    std::string received_;
    int connections_ = 0;
};

} // namespace kvt::platform::qt::test
