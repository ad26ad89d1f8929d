#pragma once

#include "platform/qt/QtPreferenceStore.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"

#include <gtest/gtest.h>

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvt::platform::qt::test {

// Waits through the pump until `done` holds, giving up after `limitMs` so a fault fails the test
// instead of hanging it. Returns whether `done` came true.
inline bool waitFor(EventPump& pump, const std::function<bool()>& done, int limitMs = 5000) {
    bool expired = false;
    QObject context; // takes the time limit with it
    QTimer::singleShot(limitMs, &context, [&] { expired = true; });
    pump.waitUntil([&] { return expired || done(); });
    return done();
}

// Lets the loop run for a while; for checking that nothing more arrives.
inline void settle(EventPump& pump, int ms) {
    waitFor(
        pump, [] { return false; }, ms);
}

// Sets (or, given nothing, clears) an environment variable; the guard puts back what was there.
inline auto scopedEnv(const char* name, std::optional<QByteArray> value) {
    std::optional<QByteArray> old;
    if (qEnvironmentVariableIsSet(name))
        old = qgetenv(name);
    value ? qputenv(name, *value) : qunsetenv(name);
    return qScopeGuard([name, old] { old ? qputenv(name, *old) : qunsetenv(name); });
}

// A port on preferences in a fresh folder; its events, input and notices are recorded.
class PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        preferences_ = std::make_unique<QtPreferenceStore>(dir_.path().toStdString());
        port_ = std::make_unique<QtSerialPort>(*preferences_);
        port_->setEventHandler([this](int event) {
            events_.push_back(event);
            if (event == CommEvent::Receive)
                input_ += port_->input();
            if (event == CommEvent::PortNotice || event == CommEvent::PortLost)
                notices_.push_back(port_->errorText());
        });
    }
    // Port `number` leads to `address`.
    void map(int number, const std::string& address) {
        preferences_->save("KVT Control Terminal", "Ports", "Com" + std::to_string(number),
                           address);
    }
    long count(int event) const { return std::count(events_.begin(), events_.end(), event); }
    // Port 1 leads to `address` and is opened, with a clean record.
    void openOn(const std::string& address) {
        events_.clear();
        notices_.clear();
        input_.clear();
        map(1, address);
        ASSERT_EQ(port_->setPortOpen(true), "");
    }
    // Opening port 1 on `address` fails with a text naming it; the port stays closed and mute.
    PortError expectOpenFails(const std::string& address) {
        map(1, address);
        const PortError error = port_->setPortOpen(true);
        EXPECT_NE(error.find(address), std::string::npos) << error;
        EXPECT_EQ(port_->errorText(), error);
        EXPECT_FALSE(port_->portOpen());
        port_->output("x\r");
        EXPECT_EQ(port_->outBufferCount(), 0);
        return error;
    }
    // `out` reaches the peer whole as one transmission, and `in` comes back whole.
    template <typename Peer>
    void roundTrip(Peer& peer, const std::string& out, const std::string& in) {
        const std::size_t before = peer.data().size();
        const long sends = count(CommEvent::Send);
        input_.clear();
        port_->output(out);
        ASSERT_TRUE(waitFor(pump_, [&] { return peer.data().substr(before) == out; }))
            << peer.data();
        ASSERT_TRUE(waitFor(pump_, [&] { return count(CommEvent::Send) == sends + 1; }));
        peer.send(in);
        ASSERT_TRUE(waitFor(pump_, [&] { return input_ == in; })) << input_;
    }
    // The peer went away: the port closes itself and says so once.
    void expectLostOnce(const std::string& address) {
        ASSERT_TRUE(waitFor(pump_, [&] { return count(CommEvent::PortLost) > 0; }));
        EXPECT_FALSE(port_->portOpen());
        EXPECT_EQ(port_->errorText().rfind("Connection to " + address + " lost", 0), 0u)
            << port_->errorText();
        settle(pump_, 100);
        EXPECT_EQ(count(CommEvent::PortLost), 1);
    }

    QTemporaryDir dir_;
    std::unique_ptr<QtPreferenceStore> preferences_;
    std::unique_ptr<QtSerialPort> port_;
    QtEventPump pump_;
    std::vector<int> events_;
    std::vector<std::string> notices_;
    std::string input_;
};

} // namespace kvt::platform::qt::test
