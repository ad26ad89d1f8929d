#pragma once

#include <functional>
#include <memory>

namespace kvt::platform {

struct Date {
    int year = 1970;
    int month = 1;
    int day = 1;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since local midnight, with fraction.
    virtual double timeOfDay() const = 0;
    virtual Date date() const = 0;
    // Seconds on a clock that never jumps; for elapsed times that may span midnight.
    virtual double monotonic() const = 0;
};

// A window timer: fires its tick every interval while running.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    // Starts counting a full interval from now, also when already running.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual void setOnTick(std::function<void()> tick) = 0;
};

// The cooperative wait of the whole program.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
    // Handles events until `done` holds. Returns false when the wait was abandoned because the
    // program is shutting down; the caller must then give up its operation.
    virtual bool waitUntil(const std::function<bool()>& done) = 0;
    // Ends every wait in progress (waitUntil returns false) and refuses new ones.
    virtual void shutdown() = 0;
    virtual bool shuttingDown() const = 0;
};

// Everything the logic needs from the host besides the port, the operator and the preferences.
class Runtime {
public:
    virtual ~Runtime() = default;
    virtual Clock& clock() = 0;
    virtual EventPump& pump() = 0;
    virtual std::unique_ptr<Timer> createTimer(int intervalMs = 0) = 0;
};

// Waits until `done` holds or the monotonic clock passes `deadline`, whichever comes first. A timer
// wakes the wait now and then, so the deadline is noticed even when nothing else happens. Returns
// false when the program is shutting down.
inline bool waitUntilOrDeadline(Runtime& runtime, double deadline,
                                const std::function<bool()>& done) {
    auto wake = runtime.createTimer(100);
    wake->setOnTick([] {});
    wake->start();
    auto& clock = runtime.clock();
    return runtime.pump().waitUntil([&] { return done() || clock.monotonic() >= deadline; });
}

} // namespace kvt::platform
