#pragma once

#include "platform/Runtime.h"

#include <QElapsedTimer>
#include <QTimer>

namespace kvt::platform::qt {

class QtClock : public Clock {
public:
    QtClock();
    double timeOfDay() const override;
    Date date() const override;
    double monotonic() const override;

private:
    qint64 localMsSinceEpoch() const;

    QElapsedTimer elapsed_;
    // Local time costs a look at the zone file on every call; the offset is looked up again
    // once a second, which a change of zone or summer time waits for.
    mutable qint64 offsetMs_ = 0;
    mutable qint64 offsetCheckedAtMs_ = -1;
};

// A window timer on a precise QTimer. An interval of 0 (or less) means "disabled": the logic sets a
// timer to 0 to stop it, so a running timer set to 0 stops ticking, and start() with interval 0
// does not start it (a zero QTimer would fire on every loop pass). When the interval becomes
// positive again a started timer resumes.
class QtTimer : public Timer {
public:
    explicit QtTimer(int intervalMs = 0);
    void setInterval(int ms) override;
    int interval() const override { return interval_; }
    void start() override;
    void stop() override;
    bool isActive() const override { return timer_.isActive(); }
    void setOnTick(std::function<void()> tick) override { tick_ = std::move(tick); }

private:
    QTimer timer_;
    int interval_ = 0;
    bool started_ = false;
    std::function<void()> tick_;
};

// Waits block in the event dispatcher: a waiting sender costs no CPU.
class QtEventPump : public EventPump {
public:
    void processEvents() override;
    bool waitUntil(const std::function<bool()>& done) override;
    void shutdown() override;
    bool shuttingDown() const override { return shuttingDown_; }

private:
    bool shuttingDown_ = false;
};

class QtRuntime : public Runtime {
public:
    Clock& clock() override { return clock_; }
    EventPump& pump() override { return pump_; }
    std::unique_ptr<Timer> createTimer(int intervalMs = 0) override;

private:
    QtClock clock_;
    QtEventPump pump_;
};

} // namespace kvt::platform::qt
