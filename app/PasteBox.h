#pragma once

#include "platform/Clipboard.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <optional>

class QMenu;

namespace cw {

/// The main window's text box. Every paste into it (the paste keys, the context menu's Paste, a middle click,
/// a drop from another program) reads its text through the program's own clipboard reader, in the background
/// and within its size limit, instead of Qt's clipboard, which would hold up the window for seconds on an
/// owner that does not answer and take a text of any size. One paste is read at a time: a paste asked for
/// while another is still being read is refused (one log line). A paste that fails leaves the box as it was;
/// one that succeeds is one undo step.
class PasteBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit PasteBox(IClipboard& clipboard, QWidget* parent = nullptr);

    /// Pastes the clipboard's text at the caret, replacing the selection, once it has been read.
    void pasteClipboard();
    /// Pastes the primary selection's text at `position` (a document position), once it has been read.
    void pastePrimarySelection(int position);
    /// Whether a paste is being read.
    bool pasteInFlight() const { return pasteInFlight_; }

    /// The context menu, with a Paste that goes through the program's reader.
    QMenu* createPasteMenu();

signals:
    /// A paste has ended: inserted, or failed and left the box as it was.
    void pasteFinished(bool inserted);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    /// Reads through `read` and inserts at `target`; false when a paste is already in flight.
    bool startPaste(QTextCursor target,
                    const std::function<void(std::function<void(std::optional<QString>)>)>& read);
    void finishPaste(std::optional<QString> text);
    /// Inserts `text` at `target` as one undo step and leaves the caret after it.
    void insertAsOneStep(QTextCursor target, const QString& text);

    IClipboard& clipboard_;
    bool pasteInFlight_ = false;
    QTextCursor pasteTarget_; // follows the user's edits while the paste is read
};

} // namespace cw
