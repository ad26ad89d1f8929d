#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvt::platform {

namespace telnet {
inline constexpr unsigned char Se = 240;
inline constexpr unsigned char Nop = 241;
inline constexpr unsigned char Sb = 250;
inline constexpr unsigned char Will = 251;
inline constexpr unsigned char Wont = 252;
inline constexpr unsigned char Do = 253;
inline constexpr unsigned char Dont = 254;
inline constexpr unsigned char Iac = 255;

inline constexpr unsigned char Binary = 0;
inline constexpr unsigned char Echo = 1;
inline constexpr unsigned char SuppressGoAhead = 3;
inline constexpr unsigned char ComPort = 44;

// COM-PORT-OPTION commands, client to server; the server answers with the same number + 100.
inline constexpr unsigned char SetBaudRate = 1;
inline constexpr unsigned char SetDataSize = 2;
inline constexpr unsigned char SetParity = 3;
inline constexpr unsigned char SetStopSize = 4;
inline constexpr unsigned char SetControl = 5;
inline constexpr unsigned char ServerOffset = 100;
inline constexpr unsigned char NotifyLineState = 106;
inline constexpr unsigned char NotifyModemState = 107;
} // namespace telnet

// The client side of a Telnet connection carrying the COM-PORT-OPTION. Plain bytes in, plain bytes
// out: the socket layer feeds what arrives and writes what this returns, so every rule here is
// testable without a network.
class Rfc2217Codec {
public:
    enum class ComPortState { Pending, Accepted, Refused };

    // What the client sends first: binary mode both ways, no go-aheads, and the COM-PORT-OPTION.
    std::string start();

    // Data for the wire: every 0xFF doubled.
    static std::string escape(std::string_view data);

    // Bytes from the server in, the data they carry out. Telnet commands, negotiation and
    // COM-PORT notifications are consumed; answers owed to the server collect in takeReplies().
    std::string feed(std::string_view bytes);
    std::string takeReplies();

    ComPortState comPortState() const { return comPort_; }

    // The line settings as COM-PORT commands. Parity is the letter e, o, n, m or s; stop bits "1",
    // "1.5" or "2"; handshaking 0 none, 1 Xon/Xoff, 2 and 3 RTS/CTS.
    static std::string setBaudRate(std::uint32_t baud);
    static std::string setDataSize(int dataBits);
    static std::string setParity(char parity);
    static std::string setStopSize(const std::string& stopBits);
    static std::string setControl(int handshaking);

    // What the server reported last; for diagnostics and tests.
    std::optional<std::uint32_t> confirmedBaud() const { return confirmedBaud_; }
    int lineStateNotices() const { return lineStateNotices_; }
    int modemStateNotices() const { return modemStateNotices_; }

    // A subnegotiation longer than this is cut: a broken server must not grow it without end.
    static constexpr std::size_t kMaxSubnegotiation = 64;

private:
    enum class State { Data, Iac, Option, Sb, SbIac };

    void onOption(unsigned char verb, unsigned char option);
    void onSubnegotiation();
    void reply(unsigned char verb, unsigned char option);
    static bool wanted(unsigned char option) {
        return option == telnet::Binary || option == telnet::SuppressGoAhead ||
               option == telnet::ComPort;
    }

    State state_ = State::Data;
    unsigned char verb_ = 0;
    std::string sb_;
    bool sbOverflow_ = false;
    bool afterCr_ = false;
    std::string replies_;
    // Per option: enabled on our side / on the server's side, and asked for but not answered.
    std::array<bool, 256> us_{}, him_{}, usAsked_{}, himAsked_{};
    ComPortState comPort_ = ComPortState::Pending;
    std::optional<std::uint32_t> confirmedBaud_;
    int lineStateNotices_ = 0;
    int modemStateNotices_ = 0;
};

} // namespace kvt::platform
