#pragma once

#include "platform/qt/QtPreferenceStore.h"
#include "platform/qt/QtRuntime.h"
#include "platform/qt/QtSerialPort.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvt::platform::qt::test {

// Waits through the pump until `done` holds, giving up after `limitMs` so a fault fails the test
// instead of hanging it. Returns whether `done` came true.
inline bool waitFor(QtEventPump& pump, const std::function<bool()>& done, int limitMs = 5000) {
    bool expired = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&] { expired = true; });
    limit.start(limitMs);
    pump.waitUntil([&] { return expired || done(); });
    return done();
}

// Lets the loop run for a while; for checking that nothing more arrives.
inline void settle(QtEventPump& pump, int ms) {
    bool over = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] { over = true; });
    timer.start(ms);
    pump.waitUntil([&] { return over; });
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

    QTemporaryDir dir_;
    std::unique_ptr<QtPreferenceStore> preferences_;
    std::unique_ptr<QtSerialPort> port_;
    QtEventPump pump_;
    std::vector<int> events_;
    std::vector<std::string> notices_;
    std::string input_;
};

} // namespace kvt::platform::qt::test
