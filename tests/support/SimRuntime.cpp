#include "support/SimRuntime.h"

#include <cmath>
#include <stdexcept>

namespace kvt::testing {

namespace {

class SimTimer final : public platform::Timer {
public:
    SimTimer(SimRuntime& rt, int intervalMs) : rt_(rt), interval_(intervalMs) {}
    ~SimTimer() override { stop(); }

    void setInterval(int ms) override {
        interval_ = ms;
        if (active_)
            start();
    }
    int interval() const override { return interval_; }
    void start() override {
        stop();
        if (interval_ <= 0)
            return;
        active_ = true;
        arm();
    }
    void stop() override {
        if (pending_)
            rt_.cancel(pending_);
        pending_ = 0;
        active_ = false;
    }
    bool isActive() const override { return active_; }
    void setOnTick(std::function<void()> tick) override { tick_ = std::move(tick); }

private:
    void arm() {
        pending_ = rt_.schedule(interval_ / 1000.0, [this] {
            pending_ = 0;
            // Re-arm first so a tick that stops or restarts the timer has the last word.
            arm();
            if (tick_)
                tick_();
        });
    }

    SimRuntime& rt_;
    int interval_;
    bool active_ = false;
    SimRuntime::EventId pending_ = 0;
    std::function<void()> tick_;
};

} // namespace

SimRuntime::SimRuntime(double startTimeOfDay) : startTimeOfDay_(startTimeOfDay) {}

std::unique_ptr<platform::Timer> SimRuntime::createTimer(int intervalMs) {
    return std::make_unique<SimTimer>(*this, intervalMs);
}

double SimRuntime::timeOfDay() const {
    return std::fmod(startTimeOfDay_ + now_, 86400.0);
}

platform::Date SimRuntime::date() const {
    // Day 0 is 2026-12-06; the simulated runs never last long enough to need a real calendar.
    int days = static_cast<int>((startTimeOfDay_ + now_) / 86400.0);
    return platform::Date{2026, 12, 6 + days};
}

SimRuntime::EventId SimRuntime::schedule(double delaySeconds, std::function<void()> action) {
    EventId id = nextId_++;
    double due = now_ + std::max(0.0, delaySeconds);
    queue_.emplace(std::make_pair(due, id), std::move(action));
    dueOf_[id] = due;
    return id;
}

void SimRuntime::cancel(EventId id) {
    auto it = dueOf_.find(id);
    if (it == dueOf_.end())
        return;
    queue_.erase({it->second, id});
    dueOf_.erase(it);
}

bool SimRuntime::dispatchNext(double notAfter) {
    if (queue_.empty())
        return false;
    auto it = queue_.begin();
    if (it->first.first > notAfter)
        return false;
    now_ = std::max(now_, it->first.first);
    auto action = std::move(it->second);
    dueOf_.erase(it->first.second);
    queue_.erase(it);
    action();
    return true;
}

void SimRuntime::processEvents() {
    // Only what is already due, as a real event loop would; the clock does not move.
    while (dispatchNext(now_)) {
    }
}

bool SimRuntime::waitUntil(const std::function<bool()>& done) {
    std::size_t dispatched = 0;
    while (!done()) {
        if (shuttingDown_)
            return false;
        // Nothing scheduled, or events without end: the awaited condition can never come.
        if (queue_.empty())
            throw std::runtime_error("wait can never end: no event is scheduled");
        if (++dispatched > 2'000'000)
            throw std::runtime_error("wait did not end after many events");
        dispatchNext(queue_.begin()->first.first);
    }
    return true;
}

void SimRuntime::runFor(double seconds) {
    double until = now_ + seconds;
    while (dispatchNext(until)) {
    }
    now_ = std::max(now_, until);
}

void SimRuntime::runUntilIdle(double limitSeconds) {
    double until = now_ + limitSeconds;
    while (dispatchNext(until)) {
    }
}

} // namespace kvt::testing
