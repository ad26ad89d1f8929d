#pragma once

#include "platform/qt/QtRuntime.h"

#include <QTimer>

#include <functional>

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

} // namespace kvt::platform::qt::test
