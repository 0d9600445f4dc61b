// Pasting into the main window's text box, on the fake clipboard: every way of pasting reads through the
// program's clipboard interface and waits for its answer without holding up the window; a failed read leaves
// the box as it was; a paste is one undo step; one paste is read at a time.
#include "MainWindowHarness.h"
#include "app/PasteBox.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

using namespace cw;
using namespace cw::test;

class PasteTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<MainWindowHarness> h;
    CWmain& w() { return *h->window; }
    PasteBox& box() { return *qobject_cast<PasteBox*>(w().TextBox); }
    FakeClipboard& clipboard() { return h->clipboard; }

    // The box holds `text` with the caret at `caret`.
    void setBox(const QString& text, int caret) {
        box().setPlainText(text);
        QTextCursor cursor = box().textCursor();
        cursor.setPosition(caret);
        box().setTextCursor(cursor);
    }
    void pressPasteKey() { QTest::keySequence(&box(), QKeySequence::Paste); }
    QAction* menuAction(QMenu& menu, const QString& name) {
        for (QAction* action : menu.actions()) {
            if (action->objectName() == name) {
                return action;
            }
        }
        return nullptr;
    }

private slots:
    void init() {
        h = std::make_unique<MainWindowHarness>();
        h->startUp();
        QVERIFY(qobject_cast<PasteBox*>(w().TextBox));
        box().setFocus();
    }
    void cleanup() { h.reset(); }

    void everyPasteKeyWaitsForTheClipboardThenInserts_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("Ctrl+V") << QKeySequence(Qt::ControlModifier | Qt::Key_V);
        QTest::newRow("Shift+Insert") << QKeySequence(Qt::ShiftModifier | Qt::Key_Insert);
    }
    void everyPasteKeyWaitsForTheClipboardThenInserts() {
        QFETCH(QKeySequence, keys);
        setBox(QStringLiteral("Hello world"), 6);
        QTest::keySequence(&box(), keys);
        QCOMPARE(clipboard().pending.size(), 1);
        QVERIFY(box().pasteInFlight());
        QCOMPARE(box().toPlainText(), QStringLiteral("Hello world")); // nothing yet: the read is pending

        clipboard().answerWith(QStringLiteral("big "));
        QCOMPARE(box().toPlainText(), QStringLiteral("Hello big world"));
        QCOMPARE(box().textCursor().position(), 10); // after the pasted text
        QVERIFY(!box().pasteInFlight());
    }

    void aPasteReplacesTheSelection() {
        setBox(QStringLiteral("one two three"), 4);
        QTextCursor cursor = box().textCursor();
        cursor.setPosition(7, QTextCursor::KeepAnchor);
        box().setTextCursor(cursor);
        pressPasteKey();
        clipboard().answerWith(QStringLiteral("2"));
        QCOMPARE(box().toPlainText(), QStringLiteral("one 2 three"));
    }

    void editsWhileTheReadIsPendingKeepThePastePlace() {
        setBox(QStringLiteral("ab"), 1);
        pressPasteKey();
        // The user types at the start while the owner is slow: the paste still lands between a and b.
        QTextCursor start = box().textCursor();
        start.setPosition(0);
        box().setTextCursor(start);
        QTest::keyClicks(&box(), QStringLiteral(">>"));
        clipboard().answerWith(QStringLiteral("|"));
        QCOMPARE(box().toPlainText(), QStringLiteral(">>a|b"));
    }

    void aFailedOrEmptyReadLeavesTheBoxAsItWas_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::newRow("no answer in time") << std::optional<QString>();
        QTest::newRow("no text on the clipboard") << std::optional<QString>(QString());
    }
    void aFailedOrEmptyReadLeavesTheBoxAsItWas() {
        QFETCH(std::optional<QString>, answer);
        setBox(QStringLiteral("unchanged"), 3);
        if (answer && answer->isEmpty()) {
            QTest::ignoreMessage(QtInfoMsg, "nothing pasted: no text on offer");
        }
        QSignalSpy finished(&box(), &PasteBox::pasteFinished);
        pressPasteKey();
        clipboard().answerWith(answer);
        QCOMPARE(box().toPlainText(), QStringLiteral("unchanged"));
        QCOMPARE(box().textCursor().position(), 3);
        QVERIFY(!box().document()->isUndoAvailable());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
    }

    void aSecondPasteWhileOneIsReadIsRefused() {
        setBox(QString(), 0);
        pressPasteKey();
        QTest::ignoreMessage(QtInfoMsg, "a paste is still being read; this one is refused");
        QTest::ignoreMessage(QtInfoMsg, "a paste is still being read; this one is refused");
        pressPasteKey();
        box().pastePrimarySelection(0);
        QCOMPARE(clipboard().requests, 1);
        QCOMPARE(clipboard().selectionRequests, 0);
        clipboard().answerWith(QStringLiteral("once"));
        QCOMPARE(box().toPlainText(), QStringLiteral("once"));
        // Once it is in, pasting works again.
        pressPasteKey();
        clipboard().answerWith(QStringLiteral(" more"));
        QCOMPARE(box().toPlainText(), QStringLiteral("once more"));
    }

    void undoTakesBackAWholePasteAndNothingElse() {
        setBox(QString(), 0);
        QTest::keyClicks(&box(), QStringLiteral("typed "));
        pressPasteKey();
        clipboard().answerWith(QStringLiteral("line one\nline two\n\nline four"));
        QCOMPARE(box().toPlainText(), QStringLiteral("typed line one\nline two\n\nline four"));
        QTest::keySequence(&box(), QKeySequence::Undo);
        QCOMPARE(box().toPlainText(), QStringLiteral("typed "));
        QTest::keySequence(&box(), QKeySequence::Redo);
        QCOMPARE(box().toPlainText(), QStringLiteral("typed line one\nline two\n\nline four"));

        // Typing right after a one-line paste stays a step of its own.
        box().setPlainText(QStringLiteral("a"));
        box().moveCursor(QTextCursor::End);
        pressPasteKey();
        clipboard().answerWith(QStringLiteral("b"));
        QTest::keyClicks(&box(), QStringLiteral("c"));
        QTest::keySequence(&box(), QKeySequence::Undo);
        QCOMPARE(box().toPlainText(), QStringLiteral("ab"));
        QTest::keySequence(&box(), QKeySequence::Undo);
        QCOMPARE(box().toPlainText(), QStringLiteral("a"));
    }

    void theWindowAnswersWhileAPasteIsPending() {
        setBox(QStringLiteral("text"), 4);
        pressPasteKey();
        QVERIFY(box().pasteInFlight());
        w().cmdShut->click();
        QCOMPARE(h->log, QStringList{QStringLiteral("Stop")});
        QVERIFY(box().pasteInFlight()); // Stop ran while the clipboard had not answered
        clipboard().answerWith(std::nullopt);
        QCOMPARE(box().toPlainText(), QStringLiteral("text"));
    }

    void theContextMenuPastesThroughTheClipboardInterface() {
        setBox(QStringLiteral("menu"), 4);
        std::unique_ptr<QMenu> menu(box().createPasteMenu());
        QAction* paste = menuAction(*menu, QStringLiteral("edit-paste"));
        QVERIFY(paste);
        QVERIFY(paste->isEnabled());
        paste->trigger();
        QCOMPARE(clipboard().pending.size(), 1);
        clipboard().answerWith(QStringLiteral(" pasted"));
        QCOMPARE(box().toPlainText(), QStringLiteral("menu pasted"));

        // While a paste is read, the menu offers none.
        pressPasteKey();
        std::unique_ptr<QMenu> busy(box().createPasteMenu());
        QVERIFY(!menuAction(*busy, QStringLiteral("edit-paste"))->isEnabled());
        clipboard().answerWith(std::nullopt);
        // Undo in the menu takes back the paste.
        std::unique_ptr<QMenu> after(box().createPasteMenu());
        menuAction(*after, QStringLiteral("edit-undo"))->trigger();
        QCOMPARE(box().toPlainText(), QStringLiteral("menu"));
    }

    void aMiddleClickPastesThePrimarySelectionWhereClicked() {
        setBox(QStringLiteral("left right"), 0);
        box().show();
        QTextCursor atSpace(box().document());
        atSpace.setPosition(4);
        const QPoint at = box().cursorRect(atSpace).center();
        QTest::mouseClick(box().viewport(), Qt::MiddleButton, {}, at);
        QCOMPARE(clipboard().requests, 0); // not the clipboard
        QCOMPARE(clipboard().pendingSelections.size(), 1);
        QCOMPARE(clipboard().pendingSelections.front().selection, IClipboard::Selection::Primary);
        QVERIFY(clipboard().answerSelection(IClipboard::Selection::Primary, QStringLiteral(" middle")));
        QCOMPARE(box().toPlainText(), QStringLiteral("left middle right"));
    }

    void aDropFromAnotherProgramReadsTheDroppedText() {
        setBox(QStringLiteral("drop"), 0);
        box().show();
        QMimeData offered; // what Qt knows of a drop before asking the other program for it
        offered.setText(QStringLiteral("never read from here"));
        QTextCursor atEnd(box().document());
        atEnd.movePosition(QTextCursor::End);
        const QPointF at = box().cursorRect(atEnd).center();
        // The dropping program answers while the drop waits; the window's events go on meanwhile.
        QTimer::singleShot(0, this, [this] {
            QVERIFY(clipboard().answerSelection(IClipboard::Selection::Drop, QStringLiteral(" dropped")));
        });
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &offered, Qt::NoButton, {});
        QApplication::sendEvent(box().viewport(), &enter);
        QVERIFY(enter.isAccepted()); // the box takes text
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &offered, Qt::NoButton, {});
        QApplication::sendEvent(box().viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(box().toPlainText(), QStringLiteral("drop dropped"));
        QCOMPARE(clipboard().requests, 0);
    }

    void aDropOfNoTextIsRefusedWithoutAsking() {
        setBox(QStringLiteral("drop"), 0);
        box().show();
        QMimeData offered;
        offered.setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &offered, Qt::NoButton, {});
        QApplication::sendEvent(box().viewport(), &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &offered, Qt::NoButton, {});
        QApplication::sendEvent(box().viewport(), &drop);
        QVERIFY(!drop.isAccepted());
        QCOMPARE(clipboard().selectionRequests, 0);
        QCOMPARE(box().toPlainText(), QStringLiteral("drop"));
    }

    void aReadOnlyBoxAsksForNothing() {
        setBox(QStringLiteral("fixed"), 0);
        box().setReadOnly(true);
        pressPasteKey();
        box().pasteClipboard();
        QCOMPARE(clipboard().requests, 0);
        QCOMPARE(box().toPlainText(), QStringLiteral("fixed"));
    }
};

QTEST_MAIN(PasteTest)
#include "tst_paste.moc"
