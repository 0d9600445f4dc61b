#pragma once

#include "core/TextLimits.h"

#include <QByteArray>
#include <chrono>
#include <optional>

struct xcb_connection_t;

namespace cw {

/// Reads the X clipboard's text over an X connection of its own, so a clipboard owner that never answers can
/// only hold up the thread that calls read(), and only for the time limit. Not thread-safe: one reader per
/// thread.
class XcbSelectionReader {
public:
    /// Texts larger than this are refused, so an owner cannot exhaust memory.
    static constexpr qint64 kDefaultMaxBytes = cw::kMaxTextBytes;

    /// Connects to `display` (the DISPLAY variable when empty); refuses texts of more than `maxBytes` bytes.
    explicit XcbSelectionReader(const QByteArray& display = {}, qint64 maxBytes = kDefaultMaxBytes);
    ~XcbSelectionReader();
    XcbSelectionReader(const XcbSelectionReader&) = delete;
    XcbSelectionReader& operator=(const XcbSelectionReader&) = delete;

    /// Whether the X connection is up.
    bool connected() const;

    /// The selections a text can be read from.
    enum class Selection {
        Clipboard, ///< what the user copied
        Primary,   ///< the text last selected anywhere, pasted by a middle click
        Drop,      ///< the text being dropped by a drag and drop (valid only while the drop is answered)
    };

    /// The clipboard's text as UTF-8: empty when the clipboard holds no text (no owner, or the owner offers
    /// no text form); no value when the owner did not answer within `patience` or the connection failed.
    /// `patience` bounds each wait for the owner, so a large text sent in many pieces may take longer in all.
    /// A text over the size limit is no value too, never a part of it.
    std::optional<QByteArray> readClipboardText(std::chrono::milliseconds patience) {
        return readText(Selection::Clipboard, patience);
    }
    /// The text of `selection`, read as readClipboardText() reads the clipboard's.
    std::optional<QByteArray> readText(Selection selection, std::chrono::milliseconds patience);

    /// The size limit in bytes.
    qint64 maxBytes() const { return maxBytes_; }
    /// Whether the last read failed because the text was over the size limit.
    bool lastReadTooLarge() const { return tooLarge_; }
    /// How many pieces the last text came in: 1 when sent whole, more for an incremental (INCR) transfer.
    int lastReadPieces() const { return pieces_; }

    /// Whether the X server reports who takes the clipboard (the XFixes extension), so copies can be counted.
    bool watchesCopies() const { return xfixesEvent_ >= 0; }
    /// How many times a program has taken the clipboard since this reader connected: every copy counts, also
    /// a copy of the same text or a copy by the program that already held the clipboard. Emptying the
    /// clipboard does not count. Counts the notices that have arrived by the last call of takeNotices() or of
    /// readClipboardText().
    quint64 copiesSeen() const { return copies_; }
    /// Takes the notices the X server has sent so far, without waiting.
    void takeNotices();
    /// The connection's file descriptor, readable when the X server has sent something; -1 when not
    /// connected.
    int fileDescriptor() const;

private:
    bool waitForEvent(std::chrono::steady_clock::time_point deadline, int wantedType, void** eventOut);
    std::optional<QByteArray> convert(unsigned selection, unsigned target, std::chrono::milliseconds patience,
                                      bool* refused);
    std::optional<QByteArray> readIncremental(std::chrono::milliseconds patience);
    /// Counts `event` if it is a notice of a new clipboard owner.
    void noteEvent(const void* event);
    /// Replaces the window the answers arrive at, before each read and after a failed one. After a read given
    /// up half-way its owner may go on writing pieces into the old window's property, and an owner may answer
    /// a request twice: either would otherwise pass for the answer to the next read.
    void newRequestorWindow();
    /// Asks the X server for a notice whenever a program takes the clipboard, if it can send them.
    void watchClipboardOwner();

    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned rootVisual_ = 0;
    unsigned window_ = 0;
    unsigned clipboardAtom_ = 0;
    unsigned primaryAtom_ = 1; // XA_PRIMARY
    unsigned dropAtom_ = 0;
    unsigned utf8Atom_ = 0;
    unsigned stringAtom_ = 31; // XA_STRING
    unsigned propertyAtom_ = 0;
    unsigned incrAtom_ = 0;
    int xfixesEvent_ = -1; // the first event code of the XFixes extension
    quint64 copies_ = 0;
    qint64 maxBytes_;
    bool tooLarge_ = false;
    int pieces_ = 0;
};

} // namespace cw
