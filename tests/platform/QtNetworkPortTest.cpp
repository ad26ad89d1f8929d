// The port mapped to a device server: tcp:// and rfc2217:// against a server inside the test.

#include "TestDeviceServer.h"
#include "WaitHelpers.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <vector>

namespace kvt::platform::qt {
namespace {

using test::settle;
using test::TestDeviceServer;
using test::waitFor;
using Mode = TestDeviceServer::Mode;
using namespace telnet;
using test::bytes;

class QtNetworkPortTest : public test::PortTest {
protected:
    // Opens port 1 on the server and waits until the server has its client.
    void openOn(TestDeviceServer& server) {
        PortTest::openOn(server.url());
        ASSERT_TRUE(waitFor(pump_, [&] { return server.connections() > 0; }));
    }
    // Runs `open` while a 50 ms timer ticks and calls `onTick`: how long it took, how often it
    // ticked.
    std::pair<qint64, int> timed(
        const std::function<void()>& open, const std::function<void(int)>& onTick = [](int) {}) {
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { onTick(++ticks); });
        ticker.start(50);
        QElapsedTimer clock;
        clock.start();
        open();
        return {clock.elapsed(), ticks};
    }
    // The COM-PORT commands the server got, once there are as many as expected.
    void expectComPort(TestDeviceServer& server, const std::vector<std::string>& commands) {
        ASSERT_TRUE(
            waitFor(pump_, [&] { return server.split().comPort.size() >= commands.size(); }));
        EXPECT_EQ(server.split().comPort, commands);
    }
};

TEST_F(QtNetworkPortTest, TheMappingChoosesTheKindOfPort) {
    map(2, "rfc2217://127.0.0.1:4001");
    map(3, " tcp://127.0.0.1:4002 ");
    EXPECT_EQ(port_->portAddress(1) + " " + port_->portAddress(2) + " " + port_->portAddress(3),
              "/dev/ttyS0 rfc2217://127.0.0.1:4001 tcp://127.0.0.1:4002");

    // A server line takes 1.5 stop bits; a local port on this host does not, and the open says so.
    ASSERT_EQ(port_->setCommPort(2), "");
    EXPECT_EQ(port_->setSettings("19200,E,7,1.5"), "");
    EXPECT_EQ(port_->settings(), "19200,e,7,1.5");
    if (!QtSerialPort::kOneAndHalfStopBits) {
        map(2, dir_.path().toStdString() + "/tty");
        const PortError error = port_->setPortOpen(true);
        EXPECT_NE(error.find("Stop bits 1.5"), std::string::npos) << error;
        EXPECT_FALSE(port_->portOpen());
    }

    ASSERT_EQ(port_->setCommPort(1), "");
    expectOpenFails("udp://127.0.0.1:1"); // the address's own faults are the parser's tests
}

TEST_F(QtNetworkPortTest, RefusedServerFailsTheOpenAtOnceWithTheHostsReason) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const std::string url = "tcp://127.0.0.1:" + std::to_string(closed.serverPort());
    closed.close();
    PortError error;
    EXPECT_LT(timed([&] { error = expectOpenFails(url); }).first, 2000);
    EXPECT_EQ(error.rfind("Cannot open " + url + ": ", 0), 0u) << error;
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
}

// A listener whose queue is full drops further connection attempts without a word: the same as a
// host that does not answer.
struct Unanswering {
    Unanswering() {
        listener.setListenBacklogSize(0);
        listener.listen(QHostAddress::LocalHost, 0);
        listener.pauseAccepting();
        for (auto& filler : fillers)
            filler.connectToHost(QHostAddress::LocalHost, listener.serverPort());
    }
    std::string url() const { return "tcp://127.0.0.1:" + std::to_string(listener.serverPort()); }

    QTcpServer listener;
    QTcpSocket fillers[4];
};

TEST_F(QtNetworkPortTest, UnansweringServerFailsTheOpenAfterThreeSecondsWithTheWindowLive) {
    Unanswering server;
    PortError error;
    const auto [waited, ticks] = timed([&] { error = expectOpenFails(server.url()); },
                                       [&](int tick) {
                                           // An impatient second click while the first waits.
                                           if (tick == 3) {
                                               EXPECT_NE(port_->setPortOpen(true), "");
                                           }
                                       });
    EXPECT_GE(waited, QtNetworkPort::kConnectLimitMs - 100);
    EXPECT_LE(waited, QtNetworkPort::kConnectLimitMs + 1000);
    EXPECT_GE(ticks, 20) << "the loop kept running while the open waited";
    EXPECT_EQ(error, "Cannot open " + server.url() + ": no answer within 3 seconds");
}

TEST_F(QtNetworkPortTest, ComPortOptionCarriesTheSettingsAndKeepsTelnetOffTheLine) {
    TestDeviceServer server(Mode::Accept);
    ASSERT_EQ(port_->setSettings("19200,e,7,2"), "");
    ASSERT_EQ(port_->setHandshaking(2), "");
    openOn(server);

    // The settings went out with the open, before any data; applied while open, at once.
    expectComPort(server, {bytes({SetBaudRate, 0, 0, 0x4B, 0x00}), bytes({SetDataSize, 7}),
                           bytes({SetParity, 3}), bytes({SetStopSize, 2}), bytes({SetControl, 3})});
    server.clear();
    ASSERT_EQ(port_->setSettings("9600,n,8,1"), "");
    ASSERT_EQ(port_->setHandshaking(0), "");
    expectComPort(server, {bytes({SetBaudRate, 0, 0, 0x25, 0x80}), bytes({SetDataSize, 8}),
                           bytes({SetParity, 1}), bytes({SetStopSize, 1}), bytes({SetControl, 1})});

    // 0xFF in a command is doubled on the wire and arrives once.
    server.clear();
    port_->output(bytes({'x', 0xFF, '\r'}));
    ASSERT_TRUE(waitFor(pump_, [&] { return server.data() == bytes({'x', 0xFF, '\r'}); }));
    EXPECT_EQ(server.received(), bytes({'x', 0xFF, 0xFF, '\r'}));
    ASSERT_TRUE(waitFor(pump_, [&] { return count(CommEvent::Send) == 1; }));

    // A reply with a notification, a NOP and a doubled 0xFF between its bytes, cut in the middle
    // of the notification and of the doubled byte: the port keeps its decoder's state between
    // reads.
    server.send("V" + bytes({Iac, Sb, ComPort, NotifyLineState}));
    settle(pump_, 5);
    server.send(bytes({0x60, Iac, Se}) + "O" + bytes({Iac, Nop, Iac}));
    settle(pump_, 5);
    server.send(bytes({Iac, '\r', '\n'}));
    ASSERT_TRUE(waitFor(pump_, [&] {
        return input_ == bytes({'V', 'O', 0xFF, '\r', '\n'});
    })) << input_;
    // Notifications alone never look like a transmission or received data.
    const long receives = count(CommEvent::Receive);
    server.send(bytes({Iac, Sb, ComPort, NotifyModemState, 0x30, Iac, Se, Iac, Nop}));
    settle(pump_, 100);
    EXPECT_EQ(count(CommEvent::Receive), receives);
    EXPECT_EQ(count(CommEvent::Send), 1) << "settings are no transmission of the terminal's";
    EXPECT_TRUE(notices_.empty());
}

TEST_F(QtNetworkPortTest, RefusalIsReportedOnceAndTheLineStillWorks) {
    for (Mode mode : {Mode::Refuse, Mode::Silent}) {
        SCOPED_TRACE(mode == Mode::Refuse ? "refuses" : "silent");
        TestDeviceServer server(mode);
        // The window stays live while the open waits for an answer.
        const auto [waited, ticks] = timed([&] { openOn(server); });
        EXPECT_LE(waited, QtNetworkPort::kConnectLimitMs + 1000);
        if (mode == Mode::Silent) {
            EXPECT_GE(waited, QtNetworkPort::kConnectLimitMs - 200);
            EXPECT_GE(ticks, 20);
        }
        ASSERT_TRUE(waitFor(pump_, [&] { return count(CommEvent::PortNotice) > 0; }));
        ASSERT_EQ(notices_.size(), 1u);
        EXPECT_NE(notices_[0].find(server.url()), std::string::npos) << notices_[0];
        EXPECT_NE(notices_[0].find(mode == Mode::Refuse ? "refused" : "did not answer"),
                  std::string::npos)
            << notices_[0];

        // Settings stay on the server; data still flows (escaped: the server speaks Telnet).
        ASSERT_EQ(port_->setSettings("38400,n,8,1"), "");
        roundTrip(server, bytes({'f', 0xFF, '\r'}), "12.5\r\n");
        EXPECT_TRUE(server.split().comPort.empty());
        settle(pump_, 50);
        EXPECT_EQ(count(CommEvent::PortNotice), 1);
        ASSERT_EQ(port_->setPortOpen(false), "");
    }
}

// Raw: every byte as it is, Telnet bytes from the server included.
TEST_F(QtNetworkPortTest, RawAndTelnetStreamsAndTheLostConnection) {
    for (Mode mode : {Mode::Raw, Mode::Accept}) {
        SCOPED_TRACE(mode == Mode::Raw ? "raw" : "telnet");
        TestDeviceServer server(mode);
        openOn(server);
        roundTrip(server, bytes({'m', ',', 'd', 0xFF, '\r'}),
                  mode == Mode::Raw ? bytes({'M', 'D', Iac, Nop, '\r', '\n'}) : "MD\r\n");
        // The last answer and the hang-up together: the answer still counts.
        input_.clear();
        server.send("0.5\r\n");
        server.dropClient();
        expectLostOnce(server.url());
        EXPECT_EQ(input_, "0.5\r\n");

        // It can be opened again.
        ASSERT_EQ(port_->setPortOpen(true), "");
        ASSERT_TRUE(waitFor(pump_, [&] { return server.connections() == 2; }));
        roundTrip(server, "e\r", "E\r\n");
        ASSERT_EQ(port_->setPortOpen(false), "");
        settle(pump_, 50);
        EXPECT_EQ(count(CommEvent::PortLost), 1) << "closing is no loss";
    }
}

} // namespace
} // namespace kvt::platform::qt
