#include "platform/qt/QtRuntime.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QEventLoop>

namespace kvt::platform::qt {

QtClock::QtClock() {
    elapsed_.start();
}

qint64 QtClock::localMsSinceEpoch() const {
    const qint64 utcMs = QDateTime::currentMSecsSinceEpoch();
    if (offsetCheckedAtMs_ < 0 || utcMs < offsetCheckedAtMs_ ||
        utcMs - offsetCheckedAtMs_ >= 1000) {
        offsetMs_ = QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc() * qint64{1000};
        offsetCheckedAtMs_ = utcMs;
    }
    return utcMs + offsetMs_;
}

double QtClock::timeOfDay() const {
    constexpr qint64 kDayMs = 86400000;
    qint64 ms = localMsSinceEpoch() % kDayMs;
    if (ms < 0)
        ms += kDayMs;
    return static_cast<double>(ms) / 1000.0;
}

Date QtClock::date() const {
    // The same local time as timeOfDay, so the two agree across midnight.
    const QDate today = QDateTime::fromMSecsSinceEpoch(localMsSinceEpoch(), Qt::UTC).date();
    return Date{today.year(), today.month(), today.day()};
}

double QtClock::monotonic() const {
    return static_cast<double>(elapsed_.nsecsElapsed()) / 1e9;
}

QtTimer::QtTimer(int intervalMs) : interval_(intervalMs) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (tick_)
            tick_();
    });
}

void QtTimer::setInterval(int ms) {
    interval_ = ms;
    if (!started_)
        return;
    if (ms > 0)
        timer_.start(ms);
    else
        timer_.stop();
}

void QtTimer::start() {
    started_ = true;
    if (interval_ > 0)
        timer_.start(interval_);
}

void QtTimer::stop() {
    started_ = false;
    timer_.stop();
}

std::unique_ptr<Timer> QtRuntime::createTimer(int intervalMs) {
    return std::make_unique<QtTimer>(intervalMs);
}

void QtEventPump::processEvents() {
    QCoreApplication::processEvents();
}

bool QtEventPump::waitUntil(const std::function<bool()>& done) {
    while (!shuttingDown_) {
        if (done())
            return true;
        // One pass of the loop, sleeping until something happens; the predicate is re-tested after
        // it.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return false;
}

void QtEventPump::shutdown() {
    shuttingDown_ = true;
    // A wait may be about to sleep in the dispatcher with nothing left to wake it.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

} // namespace kvt::platform::qt
