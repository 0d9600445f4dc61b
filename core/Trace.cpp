#include "Trace.h"

#include <chrono>
#include <mutex>

namespace cw {

Q_LOGGING_CATEGORY(lcTrace, "chatterwisp.trace", QtWarningMsg)

void trace(const char* step, qint64 detail) {
    if (!tracing()) {
        return;
    }
    // One step at a time, so steps from different threads are printed in the order of their times.
    static std::mutex order;
    const std::lock_guard lock(order);
    // CLOCK_MONOTONIC, so the figures line up with outside timers (clicklat, the benchmarks).
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const double ms = std::chrono::duration<double, std::milli>(now).count();
    if (detail >= 0) {
        qCDebug(lcTrace, "%.3f %s %lld", ms, step, static_cast<long long>(detail));
    } else {
        qCDebug(lcTrace, "%.3f %s", ms, step);
    }
}

} // namespace cw
