#include "platform/Rfc2217Codec.h"
#include "TestDeviceServer.h"
#include "platform/NetworkAddress.h"

#include <gtest/gtest.h>

#include <string>

namespace kvt::platform {
namespace {

using namespace telnet;

using qt::test::bytes;

std::string sb(std::initializer_list<int> body) {
    return bytes({Iac, Sb, ComPort}) + bytes(body) + bytes({Iac, Se});
}

// A codec that has sent its opening and been answered as a cooperative server answers.
struct Negotiated {
    Rfc2217Codec codec;
    Negotiated() {
        codec.start();
        codec.feed(bytes({Iac, Do, Binary, Iac, Will, Binary, Iac, Do, SuppressGoAhead, Iac, Will,
                          SuppressGoAhead, Iac, Do, ComPort}));
    }
};

TEST(Rfc2217Codec, EscapesEveryIacOnTheWayOut) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f\r", "f\r"},
        {bytes({'a', 0xFF, 0xFF, 'b'}), bytes({'a', 0xFF, 0xFF, 0xFF, 0xFF, 'b'})},
        {bytes({0xFE, 0xFD, 0x00}), bytes({0xFE, 0xFD, 0x00})}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Rfc2217Codec::escape(in), out);
}

TEST(Rfc2217Codec, OpeningAsksForBinaryAndTheComPortOption) {
    Rfc2217Codec codec;
    const std::string opening = codec.start();
    for (const std::string& request :
         {bytes({Iac, Will, Binary}), bytes({Iac, Do, Binary}), bytes({Iac, Will, ComPort}),
          bytes({Iac, Do, SuppressGoAhead})})
        EXPECT_NE(opening.find(request), std::string::npos);
}

TEST(Rfc2217Codec, DataSurvivesTelnetTrafficSplitAnywhere) {
    // A reply with a notification and a NOP in the middle, a doubled 0xFF, and the answer to our
    // own request: only "VO", 0xFF, CR, LF are data.
    const std::string stream =
        std::string("V") + sb({NotifyLineState, 0x60}) + "O" + bytes({Iac, Nop, Iac, Iac}) +
        sb({ServerOffset + SetBaudRate, 0, 0, 0x4B, 0x00}) + bytes({Iac, 249 /* go-ahead */}) +
        "\r\n" + sb({NotifyModemState, 0xFF, 0xFF});
    const std::string expected = std::string("VO") + bytes({0xFF}) + "\r\n";
    // Every split into two pieces.
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        Negotiated n;
        std::string got = n.codec.feed(stream.substr(0, cut));
        got += n.codec.feed(stream.substr(cut));
        EXPECT_EQ(got, expected) << "cut at " << cut;
        EXPECT_EQ(n.codec.confirmedBaud(), 19200u);
        EXPECT_EQ(n.codec.lineStateNotices(), 1);
        EXPECT_EQ(n.codec.modemStateNotices(), 1);
        EXPECT_EQ(n.codec.takeReplies(), "");
    }
}

TEST(Rfc2217Codec, NegotiationAnswersOncePerChange) {
    const struct {
        const char* what;
        std::string fromServer;
        std::string replies;
        Rfc2217Codec::ComPortState state;
    } cases[] = {
        {"accepts", bytes({Iac, Do, ComPort}), "", Rfc2217Codec::ComPortState::Accepted},
        {"refuses", bytes({Iac, Dont, ComPort}), "", Rfc2217Codec::ComPortState::Refused},
        // Echo from the server would send our commands back to us as received text.
        {"offers echo", bytes({Iac, Will, Echo}), bytes({Iac, Dont, Echo}),
         Rfc2217Codec::ComPortState::Pending},
        {"asks for an unknown option", bytes({Iac, Do, 24}), bytes({Iac, Wont, 24}),
         Rfc2217Codec::ComPortState::Pending},
        // A state we are already in is never acknowledged: that is what ends negotiation loops.
        {"confirms what never was", bytes({Iac, Wont, Echo, Iac, Dont, 24}), "",
         Rfc2217Codec::ComPortState::Pending},
        {"answers our binary request", bytes({Iac, Will, Binary, Iac, Do, Binary}), "",
         Rfc2217Codec::ComPortState::Pending},
        {"takes the option back", bytes({Iac, Do, ComPort, Iac, Dont, ComPort}),
         bytes({Iac, Wont, ComPort}), Rfc2217Codec::ComPortState::Refused},
        {"offers to be the client", bytes({Iac, Will, ComPort}), bytes({Iac, Dont, ComPort}),
         Rfc2217Codec::ComPortState::Pending},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rfc2217Codec codec;
        codec.start();
        EXPECT_EQ(codec.feed(c.fromServer), "");
        EXPECT_EQ(codec.takeReplies(), c.replies);
        EXPECT_EQ(codec.takeReplies(), "");
        EXPECT_EQ(codec.comPortState(), c.state);
    }
}

TEST(Rfc2217Codec, CarriageReturnNulOnlyOutsideBinaryMode) {
    const std::string stream = bytes({'A', '\r', 0, 'B', 0, '\r', '\n'});
    Rfc2217Codec plain; // the server never went binary
    plain.start();
    EXPECT_EQ(plain.feed(stream), bytes({'A', '\r', 'B', 0, '\r', '\n'}));
    Negotiated binary;
    EXPECT_EQ(binary.codec.feed(stream), stream);
}

TEST(Rfc2217Codec, OverlongOrBrokenSubnegotiationIsDropped) {
    Negotiated n;
    std::string flood = bytes({Iac, Sb, ComPort, ServerOffset + SetBaudRate});
    flood += std::string(100000, 'x');
    flood += bytes({Iac, Se});
    EXPECT_EQ(n.codec.feed(flood + "ok"), "ok");
    EXPECT_FALSE(n.codec.confirmedBaud());
    // IAC followed by a command inside a subnegotiation ends it; the command still counts.
    EXPECT_EQ(n.codec.feed(bytes({Iac, Sb, ComPort, 106, Iac, Will, Echo}) + "z"), "z");
    EXPECT_EQ(n.codec.takeReplies(), bytes({Iac, Dont, Echo}));
}

TEST(Rfc2217Codec, SettingsCommands) {
    using C = Rfc2217Codec;
    // The values the port test does not send at open. A value byte of 0xFF is doubled inside the
    // subnegotiation too.
    const std::pair<std::string, std::string> cases[] = {
        {C::setBaudRate(115200), sb({SetBaudRate, 0, 0x01, 0xC2, 0x00})},
        {C::setBaudRate(0xFF), sb({SetBaudRate, 0, 0, 0, 0xFF, 0xFF})},
        {C::setParity('o'), sb({SetParity, 2})},
        {C::setParity('m'), sb({SetParity, 4})},
        {C::setParity('s'), sb({SetParity, 5})},
        {C::setStopSize("1.5"), sb({SetStopSize, 3})},
        {C::setControl(1), sb({SetControl, 2})},
        {C::setControl(3), sb({SetControl, 3})}};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
}

TEST(NetworkAddress, ParsesServerAddresses) {
    const std::pair<std::string, std::string> good[] = {
        {"tcp://127.0.0.1:2000", "raw 127.0.0.1 2000"},
        {"rfc2217://moxa-3.plant.example:4001", "rfc2217 moxa-3.plant.example 4001"},
        {"RFC2217://host:1/", "rfc2217 host 1"},
        {"tcp://[::1]:65535", "raw ::1 65535"},
    };
    std::string error;
    for (const auto& [text, parsed] : good) {
        const auto a = parseNetworkAddress(text, error);
        ASSERT_TRUE(a.has_value()) << error;
        EXPECT_EQ((a->kind == NetworkAddress::Kind::Raw ? "raw " : "rfc2217 ") + a->host + " " +
                      std::to_string(a->port),
                  parsed);
    }
    for (const std::string bad :
         {"tcp://host:0", "tcp://host:65536", "tcp://host", "tcp://:2000", "tcp://host:20a0",
          "tcp://ho st:2000", "tcp://[::1:2000", "udp://host:2000", "/dev/ttyUSB0"}) {
        EXPECT_FALSE(parseNetworkAddress(bad, error).has_value()) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
    // Device paths stay device paths, however odd.
    for (const char* path : {"/dev/ttyS0", "COM3", "./pty:link", "/tmp/a://b"})
        EXPECT_FALSE(looksLikeNetworkAddress(path)) << path;
    EXPECT_TRUE(looksLikeNetworkAddress("udp://x:1"));
}

} // namespace
} // namespace kvt::platform
