#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace cw::character {

/// The time base of a character's animation and speech: a monotonic millisecond count and one wake-up wish.
/// Tests hand in a clock they advance by hand, so timing behaviour is checked without sleeping.
class Clock : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Milliseconds since an arbitrary start; never goes back.
    virtual qint64 now() const = 0;
    /// Emits due() once, at or after `at`, on the owner's thread; replaces an earlier wish.
    virtual void wakeAt(qint64 at) = 0;
    /// Forgets the wake-up wish.
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

} // namespace cw::character
