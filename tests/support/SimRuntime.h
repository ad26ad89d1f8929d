#pragma once

#include "platform/Runtime.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace kvt::testing {

// Deterministic stand-in for the host: a virtual clock and one queue of events ordered by due time.
// Waiting dispatches the next due event and advances the clock to it, so a 2 s time-out costs
// nothing.
class SimRuntime final : public platform::Runtime, platform::Clock, platform::EventPump {
public:
    explicit SimRuntime(double startTimeOfDay = 10 * 3600.0);

    platform::Clock& clock() override { return *this; }
    platform::EventPump& pump() override { return *this; }
    std::unique_ptr<platform::Timer> createTimer(int intervalMs = 0) override;

    double timeOfDay() const override;
    platform::Date date() const override;
    double monotonic() const override { return now_; }

    void processEvents() override;
    bool waitUntil(const std::function<bool()>& done) override;
    void shutdown() override { shuttingDown_ = true; }
    bool shuttingDown() const override { return shuttingDown_; }

    // Virtual seconds since the runtime was made.
    double now() const { return now_; }
    using EventId = std::uint64_t;
    EventId schedule(double delaySeconds, std::function<void()> action);
    void cancel(EventId id);
    // The event is still to come.
    bool pending(EventId id) const { return dueOf_.count(id) > 0; }
    // Runs every event due within the next `seconds`, then leaves the clock there.
    void runFor(double seconds);
    // Runs events until none is left (or `limitSeconds` of virtual time pass).
    void runUntilIdle(double limitSeconds = 60.0);
    std::size_t pendingEvents() const { return queue_.size(); }

private:
    bool dispatchNext(double notAfter);

    double now_ = 0.0;
    double startTimeOfDay_;
    EventId nextId_ = 1;
    // (due, id) keeps events of the same due time in scheduling order.
    std::map<std::pair<double, EventId>, std::function<void()>> queue_;
    std::map<EventId, double> dueOf_;
    bool shuttingDown_ = false;
};

} // namespace kvt::testing
