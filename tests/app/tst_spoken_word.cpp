// The word being spoken, highlighted in the text box: the main window on the recording character, whose
// speech progress the tests play through the watcher the window handed it.
#include "MainWindowHarness.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>

using namespace cw;
using namespace cw::test;

namespace {

const QString kSentence = QStringLiteral("Hello there, genie. Read this aloud.");

// The words of kSentence as the speech engine reports them: start and length in the balloon text.
const QList<std::pair<int, int>> kWords{{0, 5}, {6, 6}, {13, 6}, {20, 4}, {25, 4}, {30, 6}};

} // namespace

class SpokenWordTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<MainWindowHarness> h;
    CWmain& w() { return *h->window; }
    RecordingCharacter& genie() { return h->character(); }

    // The highlighted text of the box, one entry per extra selection.
    QStringList highlighted() const {
        QStringList words;
        for (const QTextEdit::ExtraSelection& s : h->window->TextBox->extraSelections()) {
            words << s.cursor.selectedText();
        }
        return words;
    }

    // Say it on kSentence; returns the id of its Speak request.
    RequestId sayTheSentence() {
        w().TextBox->setPlainText(kSentence);
        w().Button->click();
        return genie().lastSpeech;
    }

private slots:
    void init() {
        h = std::make_unique<MainWindowHarness>();
        h->startUp();
    }
    void cleanup() { h.reset(); }

    void theHighlightFollowsTheWordsInOrder() {
        const RequestId said = sayTheSentence();
        QVERIFY(said != 0);
        QVERIFY(genie().speechWatcher.started && genie().speechWatcher.word && genie().speechWatcher.ended);
        QVERIFY(highlighted().isEmpty()); // nothing before the voice is heard
        genie().speechWatcher.started(said, kSentence);
        QStringList seen;
        for (const auto& [start, length] : kWords) {
            genie().speechWatcher.word(said, start, length);
            QCOMPARE(highlighted().size(), 1); // only the word being spoken
            seen << highlighted().constFirst();
        }
        QCOMPARE(seen, (QStringList{"Hello", "there,", "genie.", "Read", "this", "aloud."}));
        genie().speechWatcher.ended(said);
        QVERIFY(highlighted().isEmpty());
    }

    void theHighlightIsInThePalettesColoursAndLeavesCaretSelectionAndScrollAlone() {
        // Enough lines to scroll, the user's caret and selection at the start, the view scrolled down.
        QString text = kSentence;
        for (int i = 0; i < 40; ++i) {
            text += QStringLiteral("\nline %1").arg(i);
        }
        w().TextBox->setPlainText(text);
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&w()));
        w().Button->click();
        const RequestId said = genie().lastSpeech;
        QTextCursor caret = w().TextBox->textCursor();
        caret.setPosition(2);
        caret.setPosition(4, QTextCursor::KeepAnchor);
        w().TextBox->setTextCursor(caret);
        QScrollBar* scroll = w().TextBox->verticalScrollBar();
        QVERIFY(scroll->maximum() > 0);
        scroll->setValue(scroll->maximum());

        genie().speechWatcher.started(said, text);
        genie().speechWatcher.word(said, 6, 6);
        QCOMPARE(highlighted(), QStringList{"there,"});
        const QTextEdit::ExtraSelection spoken = w().TextBox->extraSelections().constFirst();
        const QPalette& palette = w().TextBox->palette();
        QCOMPARE(spoken.format.background().color(), palette.color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(spoken.format.foreground().color(),
                 palette.color(QPalette::Active, QPalette::HighlightedText));
        QCOMPARE(w().TextBox->textCursor().anchor(), 2);
        QCOMPARE(w().TextBox->textCursor().position(), 4);
        QCOMPARE(scroll->value(), scroll->maximum());
    }

    void typingRemovesTheHighlight() {
        const RequestId said = sayTheSentence();
        genie().speechWatcher.started(said, kSentence);
        genie().speechWatcher.word(said, 0, 5);
        QCOMPARE(highlighted(), QStringList{"Hello"});
        QTest::keyClicks(w().TextBox, QStringLiteral("x"));
        QVERIFY(highlighted().isEmpty());
        // The rest of that speech no longer matches the box: nothing comes back.
        genie().speechWatcher.word(said, 6, 6);
        QVERIFY(highlighted().isEmpty());
    }

    void aNewSayItRemovesTheHighlight() {
        const RequestId first = sayTheSentence();
        genie().speechWatcher.started(first, kSentence);
        genie().speechWatcher.word(first, 13, 6);
        QCOMPARE(highlighted(), QStringList{"genie."});
        w().Button->click();
        const RequestId second = genie().lastSpeech;
        QVERIFY(second != first);
        QVERIFY(highlighted().isEmpty());
        // The first request's late words belong to no Say it any more.
        genie().speechWatcher.word(first, 20, 4);
        QVERIFY(highlighted().isEmpty());
        genie().speechWatcher.started(second, kSentence);
        genie().speechWatcher.word(second, 20, 4);
        QCOMPARE(highlighted(), QStringList{"Read"});
    }

    void aBoxWhoseTextIsNotWhatIsHeardIsNotHighlighted() {
        // Speech tags in the box: the balloon shows the text without them, at other offsets than the box's.
        const QString tagged = QStringLiteral("\\Pit=200\\Hello there.");
        w().TextBox->setPlainText(tagged);
        w().Button->click();
        const RequestId said = genie().lastSpeech;
        genie().speechWatcher.started(said, QStringLiteral("Hello there."));
        genie().speechWatcher.word(said, 0, 5);
        QVERIFY(highlighted().isEmpty());
    }

    void anotherRequestsWordsAreNotHighlighted() {
        const RequestId said = sayTheSentence();
        genie().speechWatcher.started(said + 100, kSentence);
        genie().speechWatcher.word(said + 100, 0, 5);
        QVERIFY(highlighted().isEmpty());
    }
};

QTEST_MAIN(SpokenWordTest)
#include "tst_spoken_word.moc"
