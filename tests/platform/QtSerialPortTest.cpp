#include "platform/qt/QtSerialPort.h"
#include "WaitHelpers.h"

#include <gtest/gtest.h>

#include <QSocketNotifier>

#include <cctype>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace kvt::platform::qt {
namespace {

using test::settle;
using test::waitFor;

// A pseudo-terminal pair in raw mode. The test keeps a slave descriptor of its own open, as the
// device simulator does, so that the master does not report a hang-up while the port is closed.
class Pty {
public:
    Pty() {
        termios raw{};
        cfmakeraw(&raw);
        if (::openpty(&master_, &slave_, nullptr, &raw, nullptr) != 0 ||
            ::fcntl(master_, F_SETFL, O_NONBLOCK) != 0 || !::ttyname(slave_))
            return;
        path_ = ::ttyname(slave_);
        reader_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(reader_.get(), &QSocketNotifier::activated, [this] {
            char chunk[256];
            const auto got = ::read(master_, chunk, sizeof chunk);
            if (got > 0)
                received_.append(chunk, static_cast<std::size_t>(got));
        });
    }
    ~Pty() {
        closeMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    int slave() const { return slave_; }
    const std::string& data() const { return received_; }
    void send(const std::string& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // The device goes away.
    void closeMaster() {
        reader_.reset();
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::string received_;
    std::unique_ptr<QSocketNotifier> reader_;
};

using QtSerialPortTest = test::PortTest;

TEST_F(QtSerialPortTest, PropertiesAndAFailedOpen) {
    EXPECT_EQ(port_->settings(), "9600,n,8,1");
    // The parity letter is taken in either case and reported in lower case.
    for (std::string good : {"19200,E,7,2", "110,M,5,1", "115200,s,6,2", "4800,o,8,1"}) {
        EXPECT_EQ(port_->setSettings(good), "");
        good[good.find(',') + 1] = static_cast<char>(std::tolower(good[good.find(',') + 1]));
        EXPECT_EQ(port_->settings(), good);
    }
    for (const char* bad :
         {"9600,x,8,1", "9600,n,4,1", "9600,n,9,1", "9600,n,8", "9600,n,8,1,1", "96a0,n,8,1",
          "-9600,n,8,1", "0,n,8,1", "", "9600,n,8,3", "9600,n,8,1.0", "9600,,8,1", "9600,ne,8,1",
          ",n,8,1", "99999999999,n,8,1", "9600;n;8;1"}) {
        SCOPED_TRACE(bad);
        const PortError error = port_->setSettings(bad);
        EXPECT_EQ(error, "Invalid port property value");
        EXPECT_EQ(port_->errorText(), error);
        EXPECT_EQ(port_->settings(), "4800,o,8,1");
    }
    // Where the host cannot, not silently one stop bit: the operator is told.
    const bool can = QtSerialPort::kOneAndHalfStopBits;
    EXPECT_EQ(port_->setSettings("19200,N,8,1.5"),
              can ? "" : "Stop bits 1.5 are not supported by this host");
    EXPECT_EQ(port_->settings(), can ? "19200,n,8,1.5" : "4800,o,8,1");
    EXPECT_EQ(port_->setHandshaking(3), "");
    EXPECT_FALSE(port_->setHandshaking(4).empty() || port_->setHandshaking(-1).empty());
    EXPECT_EQ(port_->handshaking(), 3);

    const PortError error = expectOpenFails(dir_.path().toStdString() + "/no-such-device");
    EXPECT_EQ(error.find("Unknown error"), std::string::npos) << error;
    EXPECT_EQ(port_->setPortOpen(false), ""); // closing a closed port is no failure

    EXPECT_EQ(port_->setCommPort(16), "");
    EXPECT_FALSE(port_->setCommPort(17).empty() || port_->setCommPort(0).empty());
    EXPECT_EQ(port_->commPort(), 16);
    map(5, "/dev/ttyUSB0");
    EXPECT_EQ(port_->devicePath(2) + " " + port_->devicePath(16) + " " + port_->devicePath(5),
              "/dev/ttyS1 /dev/ttyS15 /dev/ttyUSB0");
}

// Text nobody waits for is read in batches, and none of it is lost or reordered; a command
// that waits for its reply gets every byte as it comes.
TEST_F(QtSerialPortTest, UnsolicitedStreamIsGatheredWhole) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    openOn(pty.path());

    std::string sent;
    const int writes = 100;
    for (int i = 0; i < writes; ++i) {
        const std::string chunk = "line " + std::to_string(1000 + i) + "\r\n";
        pty.send(chunk);
        sent += chunk;
        settle(pump_, 1);
    }
    ASSERT_TRUE(waitFor(pump_, [&] { return input_.size() >= sent.size(); }));
    EXPECT_EQ(input_, sent);
    EXPECT_LT(count(CommEvent::Receive), writes / 2);

    input_.clear();
    port_->setReplyAwaited(true);
    for (const char* piece : {"12", ".5", "\r\n"}) {
        const long before = count(CommEvent::Receive);
        pty.send(piece);
        ASSERT_TRUE(waitFor(pump_, [&] { return count(CommEvent::Receive) > before; }));
    }
    EXPECT_EQ(input_, "12.5\r\n");
}

TEST_F(QtSerialPortTest, PseudoTerminalRoundTripAndLoss) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(port_->setSettings("19200,E,7,2"), "");
    openOn(pty.path());
    // Remembered settings were applied on open. (A pseudo-terminal forces 8 data bits and no
    // parity, and refuses other ones while open; speed and stop bits it keeps.)
    termios line{};
    ASSERT_EQ(tcgetattr(pty.slave(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    // Changes while open apply at once; a rejected one changes nothing.
    ASSERT_EQ(port_->setSettings("9600,n,8,1"), "");
    ASSERT_EQ(tcgetattr(pty.slave(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
    EXPECT_FALSE(line.c_cflag & CSTOPB);
    EXPECT_NE(port_->setSettings("9600,q,8,1"), "");
    EXPECT_EQ(port_->settings(), "9600,n,8,1");
    EXPECT_EQ(port_->setHandshaking(2), "");
    EXPECT_EQ(port_->setHandshaking(0), "");
    // The port number cannot change under an open port.
    EXPECT_NE(port_->setCommPort(4), "");
    EXPECT_EQ(port_->commPort(), 1);

    roundTrip(pty, "!01,r\r", "01 R 12.5\r\n>");
    EXPECT_EQ(port_->outBufferCount(), 0);
    pty.closeMaster();
    expectLostOnce(pty.path());
}

TEST_F(QtSerialPortTest, HandlerMayCloseAndReopen) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    openOn(pty.path());

    std::string got;
    port_->setEventHandler([&](int event) {
        if (event != CommEvent::Receive)
            return;
        got += port_->input();
        // Reopen from inside the event, and also write: neither may upset the port.
        EXPECT_EQ(port_->setPortOpen(false), "");
        EXPECT_EQ(port_->setPortOpen(true), "");
        port_->output("ack");
    });
    pty.send("one\r\n");
    ASSERT_TRUE(waitFor(pump_, [&] { return got == "one\r\n"; })) << got;
    // Closing drops unsent output, so let the first answer leave before the next reopen.
    ASSERT_TRUE(waitFor(pump_, [&] { return pty.data() == "ack"; })) << pty.data();
    pty.send("two\r\n");
    ASSERT_TRUE(waitFor(pump_, [&] { return got == "one\r\ntwo\r\n"; })) << got;
    ASSERT_TRUE(waitFor(pump_, [&] { return pty.data() == "ackack"; })) << pty.data();

    // A handler that tries to get the port back at once, while the device is gone.
    std::string reopenError;
    port_->setEventHandler([&](int event) {
        events_.push_back(event);
        if (event != CommEvent::PortLost)
            return;
        EXPECT_EQ(port_->setPortOpen(false), "");
        reopenError = port_->setPortOpen(true);
    });
    pty.closeMaster();
    ASSERT_TRUE(waitFor(pump_, [&] { return count(CommEvent::PortLost) > 0; }));
    settle(pump_, 100);
    EXPECT_EQ(count(CommEvent::PortLost), 1);
    EXPECT_NE(reopenError, "");
    EXPECT_FALSE(port_->portOpen());
}

} // namespace
} // namespace kvt::platform::qt
