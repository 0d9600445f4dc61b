#include "Clock.h"

#include <algorithm>

namespace cw {

SystemClock::SystemClock(QObject* parent) : Clock(parent) {
    elapsed_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Clock::due);
}

qint64 SystemClock::now() const {
    return elapsed_.elapsed();
}

void SystemClock::wakeAt(qint64 at) {
    timer_.start(int(std::clamp<qint64>(at - now(), 0, 24 * 3600 * 1000)));
}

void SystemClock::cancel() {
    timer_.stop();
}

void ManualClock::advance(qint64 ms) {
    const qint64 target = now_ + ms;
    for (;;) {
        // A bounded number of wake-ups at one instant: an owner that keeps wishing for "now" cannot hang it.
        for (int guard = 0; wake_ >= 0 && wake_ <= now_ && guard < 1000; ++guard) {
            wake_ = -1;
            emit due();
        }
        if (now_ >= target)
            break;
        qint64 next = target;
        if (!observers_.empty())
            next = now_ + 1;
        else if (wake_ > now_)
            next = std::min(next, wake_);
        now_ = next;
        for (const auto& observe : observers_)
            observe(now_);
    }
}

} // namespace cw
