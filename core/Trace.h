#pragma once

#include <QLoggingCategory>
#include <QString>

namespace cw {

/// The steps a request takes from the button to the loudspeaker. Off by default; a developer switches it on
/// with QT_LOGGING_RULES="chatterwisp.trace=true" and reads where the time goes (docs/trace.md).
Q_DECLARE_LOGGING_CATEGORY(lcTrace)

/// Logs one step with the monotonic time in milliseconds (three decimals), when the trace is on. Safe from
/// any thread; costs one check when the trace is off.
void trace(const char* step, qint64 detail = -1);
/// Logs one step with words that say more of it.
void trace(const char* step, const QString& detail);

/// Whether the trace is on (so callers can skip work that only feeds it).
inline bool tracing() {
    return lcTrace().isDebugEnabled();
}

} // namespace cw
