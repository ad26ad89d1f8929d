#pragma once

#include "sim/Bus.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kvt::sim::testing {

// One RS-232 device on virtual time: ask() sends a body, checks the framing and returns the text.
class Line232 {
public:
    explicit Line232(DeviceOptions options = {}) : bus(LineMode::Rs232, {std::move(options)}) {}

    std::string ask(std::string_view body) {
        std::string framed = bus.receive(std::string(body) + "\r", now);
        const std::string tail = "\r\n>";
        EXPECT_GE(framed.size(), tail.size() + 1) << "no reply to '" << body << "'";
        if (framed.size() < tail.size() || framed.compare(framed.size() - 3, 3, tail) != 0) {
            ADD_FAILURE() << "bad framing for '" << body << "': " << framed;
            return framed;
        }
        return framed.substr(0, framed.size() - tail.size());
    }
    // Asks each body in turn and checks its reply; the list alternates body and reply.
    void expect(std::initializer_list<std::string> bodyThenReply) {
        EXPECT_EQ(bodyThenReply.size() % 2, 0u);
        for (auto it = bodyThenReply.begin(); it + 1 < bodyThenReply.end(); it += 2)
            EXPECT_EQ(ask(*it), *(it + 1)) << "body '" << *it << "'";
    }
    // Lets `seconds` pass, then asks as expect() does.
    void expect(double seconds, std::initializer_list<std::string> bodyThenReply) {
        wait(seconds);
        expect(bodyThenReply);
    }
    // Sends bodies whose replies do not matter here.
    void send(std::initializer_list<std::string_view> bodies) {
        for (auto body : bodies)
            ask(body);
    }
    void wait(double seconds) { now += seconds; }
    // Lets `seconds` pass, then asks.
    std::string after(double seconds, std::string_view body) {
        wait(seconds);
        return ask(body);
    }
    Device& device() { return bus.device(std::size_t{0}); }

    Bus bus;
    double now = 0.0;
};

// Feeds each line to the bus at time 0 and checks the bytes that come back; the list alternates
// line and reply.
inline void expectOnBus(Bus& bus, std::initializer_list<std::string> lineThenReply) {
    EXPECT_EQ(lineThenReply.size() % 2, 0u);
    for (auto it = lineThenReply.begin(); it + 1 < lineThenReply.end(); it += 2)
        EXPECT_EQ(bus.receive(*it, 0.0), *(it + 1)) << "line '" << *it << "'";
}

// Numeric value of a whole reply, for readings; fails the test on anything else.
inline double number(const std::string& reply) {
    std::size_t used = 0;
    double v = 0.0;
    try {
        v = std::stod(reply, &used);
    } catch (...) {
        used = 0;
    }
    EXPECT_TRUE(used == reply.size() && !reply.empty()) << "not a number: '" << reply << "'";
    return v;
}

} // namespace kvt::sim::testing
