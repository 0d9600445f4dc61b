#include "Clock.h"

#include <algorithm>

namespace cw::character {

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

} // namespace cw::character
