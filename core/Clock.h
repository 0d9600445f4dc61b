#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

namespace cw {

/// The time base of animation and speech: a monotonic millisecond count and one wake-up wish. Each user that
/// wakes on a clock has a clock of its own (a new wish replaces the last). Tests hand in a ManualClock they
/// advance by hand, so timing behaviour is checked without sleeping.
class Clock : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Milliseconds since an arbitrary start; never goes back. Any thread.
    virtual qint64 now() const = 0;
    /// Emits due() once, at or after `at`, on the owner's thread; replaces an earlier wish. Owner's thread.
    virtual void wakeAt(qint64 at) = 0;
    /// Forgets the wake-up wish. Owner's thread.
    virtual void cancel() = 0;

signals:
    void due();
};

/// The real clock: a monotonic timer and a precise single-shot event-loop timer.
class SystemClock final : public Clock {
    Q_OBJECT
public:
    explicit SystemClock(QObject* parent = nullptr);
    qint64 now() const override;
    void wakeAt(qint64 at) override;
    void cancel() override;

private:
    QElapsedTimer elapsed_;
    QTimer timer_;
};

/// A clock moved by hand, for tests. advance() walks through time in order, waking the owner at exactly the
/// times it asked for and letting observers (a scripted speech timeline) act at every millisecond in between.
/// One thread only.
class ManualClock final : public Clock {
    Q_OBJECT
public:
    using Clock::Clock;

    qint64 now() const override { return now_; }
    void wakeAt(qint64 at) override { wake_ = at; }
    void cancel() override { wake_ = -1; }

    /// Moves time on by `ms`, emitting due() at every wished-for time on the way.
    void advance(qint64 ms);
    /// Calls `observer` with the time at every millisecond advance() passes.
    void observe(std::function<void(qint64)> observer) { observers_.push_back(std::move(observer)); }
    /// The wished-for wake-up time; -1 for none.
    qint64 wake() const { return wake_; }

private:
    qint64 now_ = 0;
    qint64 wake_ = -1;
    std::vector<std::function<void(qint64)>> observers_;
};

} // namespace cw
