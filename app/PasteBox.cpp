#include "PasteBox.h"

#include "core/TextLimits.h"
#include "core/Trace.h"

#include <QAbstractUndoItem>
#include <QContextMenuEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTextDocument>
#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

Q_LOGGING_CATEGORY(lcPaste, "chatterwisp.paste")

namespace cw {

namespace {

// Closes a paste's undo step: typing right after the paste would otherwise merge into it and go with it on
// Undo.
class UndoStepEnd : public QAbstractUndoItem {
public:
    void undo() override {}
    void redo() override {}
};

} // namespace

PasteBox::PasteBox(IClipboard& clipboard, QWidget* parent) : QPlainTextEdit(parent), clipboard_(clipboard) {}

bool PasteBox::startPaste(QTextCursor target,
                          const std::function<void(std::function<void(std::optional<QString>)>)>& read) {
    if (isReadOnly()) {
        return false;
    }
    if (pasteInFlight_) {
        qCInfo(lcPaste) << "a paste is still being read; this one is refused";
        return false;
    }
    pasteInFlight_ = true;
    pasteTarget_ = std::move(target);
    trace("paste asked");
    QPointer<PasteBox> self(this);
    read([self](std::optional<QString> text) {
        if (self) {
            self->finishPaste(std::move(text));
        }
    });
    return true;
}

void PasteBox::pasteClipboard() {
    startPaste(textCursor(), [this](auto done) { clipboard_.requestText(std::move(done)); });
}

void PasteBox::pastePrimarySelection(int position) {
    QTextCursor target(document());
    target.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    startPaste(target, [this](auto done) {
        clipboard_.requestSelectionText(IClipboard::Selection::Primary, std::move(done));
    });
}

void PasteBox::finishPaste(std::optional<QString> text) {
    // Runs from the clipboard's answer, outside any handler: nothing may leave it as an exception.
    pasteInFlight_ = false;
    const QTextCursor target = std::exchange(pasteTarget_, QTextCursor());
    if (!text) {
        trace("paste failed");
        emit pasteFinished(false); // the clipboard logged why it could not be read
        return;
    }
    if (text->isEmpty()) {
        trace("paste failed");
        qCInfo(lcPaste) << "nothing pasted: no text on offer";
        emit pasteFinished(false);
        return;
    }
    if (overTheTextLimit(*text)) {
        trace("paste failed");
        qCWarning(lcPaste) << "pasted text is over the limit of" << kMaxTextBytes << "bytes; left unread";
        emit pasteFinished(false);
        return;
    }
    try {
        insertAsOneStep(target, *text);
    } catch (const std::exception& error) {
        trace("paste failed");
        qCWarning(lcPaste) << "the paste failed:" << error.what();
        emit pasteFinished(false);
        return;
    }
    trace("paste inserted", text->size());
    emit pasteFinished(true);
}

void PasteBox::insertAsOneStep(QTextCursor target, const QString& text) {
    if (target.isNull()) {
        target = textCursor();
    }
    target.beginEditBlock();
    target.insertText(text);
    document()->appendUndoItem(std::make_unique<UndoStepEnd>().release()); // the document owns it
    target.endEditBlock();
    setTextCursor(target);
    ensureCursorVisible();
}

void PasteBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) && !isReadOnly()) {
        pasteClipboard();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void PasteBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && !isReadOnly()) {
        event->accept(); // the paste comes at the release, as everywhere on X11
        return;
    }
    QPlainTextEdit::mousePressEvent(event);
}

void PasteBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && !isReadOnly()) {
        const QTextCursor at = cursorForPosition(event->position().toPoint());
        setTextCursor(at);
        pastePrimarySelection(at.position());
        event->accept();
        return;
    }
    QPlainTextEdit::mouseReleaseEvent(event);
}

QMenu* PasteBox::createPasteMenu() {
    // Qt's own menu asks the clipboard whether it holds text before it opens, which waits for the owner.
    auto* menu = new QMenu(this);
    const bool editable = !isReadOnly();
    const bool selected = textCursor().hasSelection();
    auto add = [menu](const QString& caption, QKeySequence::StandardKey key, bool enabled, auto slot) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action =
            menu->addAction(shortcut.isEmpty() ? caption : caption + QLatin1Char('\t') + shortcut);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, slot);
        return action;
    };
    add(tr("&Undo"), QKeySequence::Undo, editable && document()->isUndoAvailable(), [this] {
        undo();
    })->setObjectName(QStringLiteral("edit-undo"));
    add(tr("&Redo"), QKeySequence::Redo, editable && document()->isRedoAvailable(), [this] {
        redo();
    })->setObjectName(QStringLiteral("edit-redo"));
    menu->addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, editable && selected, [this] {
        cut();
    })->setObjectName(QStringLiteral("edit-cut"));
    add(tr("&Copy"), QKeySequence::Copy, selected, [this] {
        copy();
    })->setObjectName(QStringLiteral("edit-copy"));
    add(tr("&Paste"), QKeySequence::Paste, editable && !pasteInFlight_, [this] {
        pasteClipboard();
    })->setObjectName(QStringLiteral("edit-paste"));
    add(tr("Delete"), QKeySequence::UnknownKey, editable && selected, [this] {
        textCursor().removeSelectedText();
    })->setObjectName(QStringLiteral("edit-delete"));
    menu->addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, !document()->isEmpty(), [this] {
        selectAll();
    })->setObjectName(QStringLiteral("select-all"));
    return menu;
}

void PasteBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createPasteMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void PasteBox::dropEvent(QDropEvent* event) {
    // A drag from within the program carries its text in memory: Qt's own drop is safe for it.
    if (event->source() || isReadOnly()) {
        QPlainTextEdit::dropEvent(event);
        return;
    }
    QDragLeaveEvent leave; // ends the drop's caret and scrolling, as Qt's own drop does
    QPlainTextEdit::dragLeaveEvent(&leave);
    if (!event->mimeData() || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    // The dragging program holds the text only until this drop is answered, that is until this returns: the
    // read runs in the background while a local loop keeps the window answering.
    QTextCursor target = cursorForPosition(event->position().toPoint());
    bool inserted = false;
    QEventLoop wait;
    const auto finished = connect(this, &PasteBox::pasteFinished, &wait, [&](bool ok) {
        inserted = ok;
        wait.quit();
    });
    QPointer<PasteBox> self(this);
    if (startPaste(target,
                   [this](auto done) {
                       clipboard_.requestSelectionText(IClipboard::Selection::Drop, std::move(done));
                   }) &&
        pasteInFlight_) {
        wait.exec();
    }
    if (!self) {
        return;
    }
    disconnect(finished);
    if (inserted) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool PasteBox::canInsertFromMimeData(const QMimeData* source) const {
    return source && source->hasText(); // plain text only, whatever else a drag offers
}

void PasteBox::insertFromMimeData(const QMimeData* source) {
    // Reached only by drags within the program: their text is in memory already.
    if (isReadOnly() || !source || !source->hasText()) {
        return;
    }
    const QString text = source->text();
    if (overTheTextLimit(text)) {
        qCWarning(lcPaste) << "dropped text is over the limit of" << kMaxTextBytes << "bytes; left out";
        return;
    }
    insertAsOneStep(textCursor(), text);
}

} // namespace cw
