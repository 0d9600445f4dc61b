#include "Trace.h"

#include <chrono>
#include <mutex>

namespace cw {

Q_LOGGING_CATEGORY(lcTrace, "chatterwisp.trace", QtWarningMsg)

namespace {

/// One step at a time, so steps from different threads are printed in the order of their times.
std::mutex& order() {
    static std::mutex lock;
    return lock;
}

/// CLOCK_MONOTONIC, so the figures line up with outside timers (clicklat, the benchmarks).
double nowMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double, std::milli>(now).count();
}

} // namespace

void trace(const char* step, qint64 detail) {
    if (!tracing()) {
        return;
    }
    const std::lock_guard lock(order());
    const double ms = nowMs();
    if (detail >= 0) {
        qCDebug(lcTrace, "%.3f %s %lld", ms, step, static_cast<long long>(detail));
    } else {
        qCDebug(lcTrace, "%.3f %s", ms, step);
    }
}

void trace(const char* step, const QString& detail) {
    if (!tracing()) {
        return;
    }
    const std::lock_guard lock(order());
    qCDebug(lcTrace, "%.3f %s %s", nowMs(), step, qUtf8Printable(detail));
}

} // namespace cw
