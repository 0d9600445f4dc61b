#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace cw {

/// The system-wide clipboard. No call ever blocks the calling (user-interface) thread.
class IClipboard {
public:
    virtual ~IClipboard() = default;

    /// Empties the clipboard of every format, in the background.
    virtual void clear() = 0;
    /// Reads the clipboard's plain text in the background, within a time limit. `done` runs later on the
    /// calling thread with the text ("" when the clipboard holds no text), or with no value when the read
    /// failed or timed out. While a read is in flight a further request is answered with no value at once.
    virtual void requestText(std::function<void(std::optional<QString>)> done) = 0;

    /// The other places a text can be pasted from.
    enum class Selection {
        Primary, ///< the text last selected in any program, pasted with the middle mouse button
        Drop,    ///< the text another program is dropping by drag and drop, while the drop is being answered
    };
    /// Reads the plain text of `selection` as requestText() reads the clipboard's: in the background, within
    /// the same time and size limits, one read of each selection at a time.
    virtual void requestSelectionText(Selection selection,
                                      std::function<void(std::optional<QString>)> done) = 0;

    /// How many times something has been copied to the clipboard since the first call: a count that only
    /// grows. Every copy counts, also of the same text again; emptying the clipboard does not. A copy is
    /// counted shortly after it happens, not necessarily by the next call.
    virtual quint64 copyCount() = 0;
};

} // namespace cw
