#pragma once

#include "core/TextLimits.h"
#include "platform/Clipboard.h"

#include <QObject>
#include <QThread>
#include <array>
#include <atomic>
#include <chrono>

namespace cw {

/// The real clipboard. On X11 the text is read by a worker thread over an X connection of its own, with a
/// time limit, because a clipboard owner that does not answer would otherwise freeze the user-interface
/// thread for seconds on every read. The thread and its connection are made at the first read. Elsewhere Qt's
/// clipboard is read directly.
class QtClipboard : public QObject, public IClipboard {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kPatience{500};
    static constexpr qint64 kMaxTextBytes = cw::kMaxTextBytes;

    /// Texts of more than `maxTextBytes` bytes (UTF-8) are refused: the read fails and one line is logged.
    explicit QtClipboard(qint64 maxTextBytes = kMaxTextBytes, QObject* parent = nullptr);
    ~QtClipboard() override;

    void clear() override;
    void requestText(std::function<void(std::optional<QString>)> done) override;
    void requestSelectionText(Selection selection, std::function<void(std::optional<QString>)> done) override;
    /// On X11 the worker thread counts the X server's notices of new clipboard owners (XFixes); it starts
    /// watching at the first call. Elsewhere Qt's notices of clipboard changes are counted, emptying
    /// included.
    quint64 copyCount() override;

    /// Whether reads go through the worker thread's own X connection.
    bool readsOffThread() const { return offThread_; }

private:
    QObject* worker(); // made at the first read
    enum class Source { Clipboard, Primary, Drop };
    void request(Source source, std::function<void(std::optional<QString>)> done);

    QThread thread_;
    QObject* worker_ = nullptr; // lives in thread_, deleted when it finishes
    qint64 maxTextBytes_;
    bool offThread_;
    std::array<bool, 3> inFlight_{}; // by Source: a read of one never holds up a request for another
    // Written by the worker thread (or by Qt's change notices off X11), read by the user-interface thread.
    std::atomic<quint64> copies_{0};
    bool countingChanges_ = false;
};

} // namespace cw
