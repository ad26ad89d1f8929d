#include "platform/Rfc2217Codec.h"

namespace kvt::platform {

using namespace telnet;

namespace {

std::string command(unsigned char verb, unsigned char option) {
    return {static_cast<char>(Iac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string subnegotiation(unsigned char code, std::string_view value) {
    std::string out{static_cast<char>(Iac), static_cast<char>(Sb), static_cast<char>(ComPort),
                    static_cast<char>(code)};
    out += Rfc2217Codec::escape(value);
    out += static_cast<char>(Iac);
    out += static_cast<char>(Se);
    return out;
}

std::string oneByte(unsigned char value) {
    return std::string(1, static_cast<char>(value));
}

} // namespace

std::string Rfc2217Codec::start() {
    std::string out;
    for (unsigned char option : {Binary, SuppressGoAhead, ComPort}) {
        usAsked_[option] = true;
        out += command(Will, option);
    }
    for (unsigned char option : {Binary, SuppressGoAhead}) {
        himAsked_[option] = true;
        out += command(Do, option);
    }
    return out;
}

std::string Rfc2217Codec::escape(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (char c : data) {
        out += c;
        if (static_cast<unsigned char>(c) == Iac)
            out += c;
    }
    return out;
}

std::string Rfc2217Codec::takeReplies() {
    std::string out;
    out.swap(replies_);
    return out;
}

void Rfc2217Codec::reply(unsigned char verb, unsigned char option) {
    replies_ += command(verb, option);
}

std::string Rfc2217Codec::feed(std::string_view bytes) {
    std::string data;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (state_) {
        case State::Data:
            if (c == Iac) {
                state_ = State::Iac;
                break;
            }
            // Outside binary mode a carriage return travels as CR NUL; the NUL is not data.
            if (afterCr_ && c == 0 && !him_[Binary]) {
                afterCr_ = false;
                break;
            }
            afterCr_ = c == '\r';
            data += ch;
            break;
        case State::Iac:
            afterCr_ = false;
            if (c == Iac) {
                data += ch;
                state_ = State::Data;
            } else if (c == Will || c == Wont || c == Do || c == Dont) {
                verb_ = c;
                state_ = State::Option;
            } else if (c == Sb) {
                sb_.clear();
                sbOverflow_ = false;
                state_ = State::Sb;
            } else {
                // NOP, go-ahead, data mark, break and the rest: nothing for the line.
                state_ = State::Data;
            }
            break;
        case State::Option:
            onOption(verb_, c);
            state_ = State::Data;
            break;
        case State::Sb:
            if (c == Iac) {
                state_ = State::SbIac;
            } else if (sb_.size() < kMaxSubnegotiation) {
                sb_ += ch;
            } else {
                sbOverflow_ = true;
            }
            break;
        case State::SbIac:
            if (c == Iac) {
                if (sb_.size() < kMaxSubnegotiation)
                    sb_ += ch;
                else
                    sbOverflow_ = true;
                state_ = State::Sb;
            } else if (c == Se) {
                if (!sbOverflow_)
                    onSubnegotiation();
                state_ = State::Data;
            } else {
                // IAC followed by anything else inside a subnegotiation: a broken server. Drop
                // the subnegotiation and read the command as a command.
                state_ = State::Iac;
                std::string rest = feed(std::string_view(&ch, 1));
                data += rest;
            }
            break;
        }
    }
    return data;
}

void Rfc2217Codec::onOption(unsigned char verb, unsigned char option) {
    switch (verb) {
    case Will:
        if (himAsked_[option]) {
            himAsked_[option] = false;
            him_[option] = true;
        } else if (!him_[option]) {
            him_[option] = wanted(option) && option != ComPort;
            reply(him_[option] ? Do : Dont, option);
        }
        break;
    case Wont:
        if (himAsked_[option]) {
            himAsked_[option] = false;
        } else if (him_[option]) {
            him_[option] = false;
            reply(Dont, option);
        }
        break;
    case Do:
        if (usAsked_[option]) {
            usAsked_[option] = false;
            us_[option] = true;
        } else if (!us_[option]) {
            us_[option] = wanted(option);
            reply(us_[option] ? Will : Wont, option);
        }
        if (option == ComPort && us_[option])
            comPort_ = ComPortState::Accepted;
        break;
    case Dont:
        if (usAsked_[option]) {
            usAsked_[option] = false;
        } else if (us_[option]) {
            us_[option] = false;
            reply(Wont, option);
        }
        if (option == ComPort)
            comPort_ = ComPortState::Refused;
        break;
    default:
        break;
    }
}

void Rfc2217Codec::onSubnegotiation() {
    if (sb_.size() < 2 || static_cast<unsigned char>(sb_[0]) != ComPort)
        return;
    const auto code = static_cast<unsigned char>(sb_[1]);
    const std::string_view value(sb_.data() + 2, sb_.size() - 2);
    if (code == ServerOffset + SetBaudRate && value.size() == 4) {
        std::uint32_t baud = 0;
        for (char c : value)
            baud = (baud << 8) | static_cast<unsigned char>(c);
        confirmedBaud_ = baud;
    } else if (code == NotifyLineState) {
        ++lineStateNotices_;
    } else if (code == NotifyModemState) {
        ++modemStateNotices_;
    }
    // Other confirmations and flow-control notices change nothing here: the terminal has no use
    // for them, and they must not reach the line.
}

std::string Rfc2217Codec::setBaudRate(std::uint32_t baud) {
    std::string value;
    for (int shift = 24; shift >= 0; shift -= 8)
        value += static_cast<char>((baud >> shift) & 0xFF);
    return subnegotiation(SetBaudRate, value);
}

std::string Rfc2217Codec::setDataSize(int dataBits) {
    return subnegotiation(SetDataSize, oneByte(static_cast<unsigned char>(dataBits)));
}

std::string Rfc2217Codec::setParity(char parity) {
    unsigned char value = 1;
    switch (parity) {
    case 'o':
    case 'O':
        value = 2;
        break;
    case 'e':
    case 'E':
        value = 3;
        break;
    case 'm':
    case 'M':
        value = 4;
        break;
    case 's':
    case 'S':
        value = 5;
        break;
    default:
        value = 1;
        break;
    }
    return subnegotiation(SetParity, oneByte(value));
}

std::string Rfc2217Codec::setStopSize(const std::string& stopBits) {
    const unsigned char value = stopBits == "2" ? 2 : stopBits == "1.5" ? 3 : 1;
    return subnegotiation(SetStopSize, oneByte(value));
}

std::string Rfc2217Codec::setControl(int handshaking) {
    // RTS/CTS wins over Xon/Xoff when both are asked for, as on a local port.
    const unsigned char value = handshaking == 1                         ? 2
                                : (handshaking == 2 || handshaking == 3) ? 3
                                                                         : 1;
    return subnegotiation(SetControl, oneByte(value));
}

} // namespace kvt::platform
