// The main window's commands as the character sees them: exact request sequences from Say it, the presets and
// fields, Hide/Show and Stop, clipboard monitoring and Clear All.
#include "MainWindowHarness.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>
#include <algorithm>

using namespace cw;
using namespace cw::test;

namespace {
const QString kPrompt =
    QStringLiteral("Type something in here for the Genie to say. Then press the Sayit! button.");
QString speak(const QString& request) {
    return QStringLiteral("Speak ") + request;
}
} // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<MainWindowHarness> h;
    CWmain& w() { return *h->window; }

private slots:
    void init() {
        h = std::make_unique<MainWindowHarness>();
        h->startUp();
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h->window.get()));
    }
    void cleanup() { h.reset(); }

    // Say it

    void sayItWithTheUntouchedPrompt() {
        w().cmdHide->setFocus();
        w().Button->click();
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"),
                                      speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\") + kPrompt)}));
        QCOMPARE(QApplication::focusWidget(), w().TextBox);
    }

    void sayItAfterAChange_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("request");
        QTest::newRow("typed text") << "Hello there"
                                    << "60"
                                    << "100"
                                    << "\\Pit=60\\\\Spd=100\\\\Chr=\\Hello there";
        QTest::newRow("empty box") << ""
                                   << "60"
                                   << "100"
                                   << "\\Pit=60\\\\Spd=100\\\\Chr=\\";
        QTest::newRow("empty pitch") << "Hi"
                                     << ""
                                     << "100"
                                     << "\\Pit=\\\\Spd=100\\\\Chr=\\Hi";
        QTest::newRow("lettered fields") << "Hi"
                                         << "abc"
                                         << "9x"
                                         << "\\Pit=abc\\\\Spd=9x\\\\Chr=\\Hi";
        QTest::newRow("out of range") << "Hi"
                                      << "999"
                                      << "0"
                                      << "\\Pit=999\\\\Spd=0\\\\Chr=\\Hi";
        QTest::newRow("backslash and a tag in the text") << "a\\b \\Pit=300\\ c"
                                                         << "60"
                                                         << "100"
                                                         << "\\Pit=60\\\\Spd=100\\\\Chr=\\a\\b \\Pit=300\\ c";
    }
    void sayItAfterAChange() {
        QFETCH(QString, text);
        QFETCH(QString, pitch);
        QFETCH(QString, speed);
        QFETCH(QString, request);
        w().TextBox->setPlainText(text);
        w().txtpitch->setText(pitch);
        w().txtspeed->setText(speed);
        h->log.clear();
        w().Button->click();
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"), QStringLiteral("Play Read"), speak(request),
                                      QStringLiteral("Play ReadReturn")}));
        QCOMPARE(QApplication::focusWidget(), w().TextBox);
    }

    void enterAndSpacePressTheFocusedButton_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier);
    }
    void enterAndSpacePressTheFocusedButton() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        for (CustomButton* button :
             {w().Button, w().cmdShut, w().cmdClear, w().cmdHide, w().cmdAbout, w().cmdHelp}) {
            QSignalSpy clicks(button, &QAbstractButton::clicked);
            button->setFocus();
            QTest::keyClick(button, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QVERIFY2(clicks.size() == 1, qPrintable(button->objectName()));
        }
        QSignalSpy stops(w().cmdShut, &QAbstractButton::clicked);
        QTest::keyClick(w().cmdShut, Qt::Key_Return, Qt::ControlModifier); // not a plain Enter
        QCOMPARE(stops.size(), 0);
    }

    void enterOnSayItSpeaks() {
        w().Button->setFocus();
        QTest::keyClick(w().Button, Qt::Key_Return);
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"),
                                      speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\") + kPrompt)}));
    }

    void sayItByAccessKey() {
        QTest::keyClick(h->window.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(h->log.size(), 2);
        QCOMPARE(h->log.first(), QStringLiteral("Show"));
    }

    void aFailingRequestEndsTheHandlerAtThatStep() {
        h->character().failingAnimations.insert(QStringLiteral("Read"));
        w().TextBox->setPlainText(QStringLiteral("x"));
        h->log.clear();
        QVERIFY_THROWS_EXCEPTION(Failure, w().Button_Click());
        QCOMPARE(h->log, QStringList{QStringLiteral("Show")}); // nothing after the failing step
    }

    // Presets and fields

    void presets_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("speed");
        QTest::newRow("1") << 0 << "60"
                           << "100";
        QTest::newRow("2") << 1 << "50"
                           << "350";
        QTest::newRow("3") << 2 << "200"
                           << "250";
        QTest::newRow("4") << 3 << "300"
                           << "50";
    }
    void presets() {
        QFETCH(int, index);
        QFETCH(QString, pitch);
        QFETCH(QString, speed);
        w().txtpitch->setText(QStringLiteral("7"));
        w().txtspeed->setText(QStringLiteral("7"));
        QTest::mouseClick(w().optVoice[static_cast<std::size_t>(index)], Qt::LeftButton);
        QCOMPARE(h->log, (QStringList{QStringLiteral("Play Write"), QStringLiteral("Play WriteReturn")}));
        QCOMPARE(w().txtpitch->text(), pitch);
        QCOMPARE(w().txtspeed->text(), speed);
        QVERIFY(w().state().TextChanged.isFalse()); // a preset is not a change of the text
    }

    void presetDuringSpeechTakesEffectWithTheNextSayIt() {
        w().Button->click();
        QTest::mouseClick(w().optVoice[2], Qt::LeftButton);
        w().Button->click();
        QCOMPARE(h->log.mid(2),
                 (QStringList{QStringLiteral("Play Write"), QStringLiteral("Play WriteReturn"),
                              QStringLiteral("Show"),
                              speak(QStringLiteral("\\Pit=200\\\\Spd=250\\\\Chr=\\") + kPrompt)}));
        QCOMPARE(h->log.at(1), speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\") + kPrompt));
    }

    void everyCharacterKeyInAFieldPlaysAlert_data() {
        QTest::addColumn<QString>("field");
        QTest::newRow("pitch") << "txtpitch";
        QTest::newRow("speed") << "txtspeed";
    }
    void everyCharacterKeyInAFieldPlaysAlert() {
        QFETCH(QString, field);
        auto* edit = w().findChild<QLineEdit*>(field);
        QLineEdit* other = edit == w().txtpitch ? w().txtspeed : w().txtpitch;
        const QString otherText = other->text();
        edit->setFocus();
        edit->setText(QString());
        QTest::keyClicks(edit, QStringLiteral("1a")); // digits and letters alike, no filter
        QCOMPARE(edit->text(), QStringLiteral("1a"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("1"));
        QCOMPARE(h->log, QStringList(3, QStringLiteral("Play Alert")));

        // Keys that type nothing move or delete without a gesture.
        h->log.clear();
        QTest::keyClick(edit, Qt::Key_Left);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClick(edit, Qt::Key_Home);
        QCOMPARE(edit->text(), QString());
        QVERIFY(h->log.isEmpty());

        // A fourth character is refused by the field, and the gesture still plays.
        edit->setText(QStringLiteral("123"));
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_4);
        QCOMPARE(edit->text(), QStringLiteral("123"));
        QCOMPARE(h->log, QStringList{QStringLiteral("Play Alert")});

        QCOMPARE(other->text(), otherText);
        QVERIFY(w().optVoice[0]->isChecked());
    }

    // Hide/Show and Stop

    void hideAndShowAgain() {
        w().cmdHide->click();
        QCOMPARE(h->log, QStringList{QStringLiteral("Hide")});
        QCOMPARE(w().cmdHide->caption(), QStringLiteral("Sho&w Genie"));
        QCOMPARE(w().cmdHide->toolTip(), QStringLiteral("Show Genie"));
        QVERIFY(w().state().CharacterVisible.isFalse());
        QCOMPARE(QApplication::focusWidget(), w().TextBox);

        w().cmdHide->click();
        QCOMPARE(h->log.last(), QStringLiteral("Show"));
        QCOMPARE(w().cmdHide->caption(), QStringLiteral("&Hide Genie"));
        QCOMPARE(w().cmdHide->toolTip(), QStringLiteral("Hide Genie"));
        QVERIFY(w().state().CharacterVisible.isTrue());
        QCOMPARE(QApplication::focusWidget(), w().TextBox);
    }

    void sayItAfterHideLeavesTheButtonAndFlag() {
        w().cmdHide->click();
        w().Button->click();
        QCOMPARE(h->log.at(1), QStringLiteral("Show"));
        QCOMPARE(w().cmdHide->caption(), QStringLiteral("Sho&w Genie"));
        QVERIFY(w().state().CharacterVisible.isFalse());
        // The next click shows the already visible character; only the one after hides it.
        h->log.clear();
        w().cmdHide->click();
        w().cmdHide->click();
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"), QStringLiteral("Hide")}));
    }

    void stopSendsStopAndNothingElse() {
        w().txtspeed->setFocus();
        w().cmdShut->click();
        w().cmdHide->click();
        w().cmdShut->click(); // also while hidden
        QCOMPARE(h->log,
                 (QStringList{QStringLiteral("Stop"), QStringLiteral("Hide"), QStringLiteral("Stop")}));
        QVERIFY(w().state().CharacterVisible.isFalse());
    }

    void stopKeepsTheFocus() {
        w().txtspeed->setFocus();
        w().cmdShut_Click(); // the handler itself, without a click moving the focus to the button
        QCOMPARE(QApplication::focusWidget(), w().txtspeed);
    }

    // About and Help

    void aboutOpensOneWindowBetweenTwoGestures() {
        w().cmdAbout->click();
        QCOMPARE(h->log,
                 (QStringList{QStringLiteral("Play Congratulate_2"), QStringLiteral("Play RestPose")}));
        QPointer<QWidget> about = w().aboutWindow();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("About Chatterwisp"));
        QVERIFY(!about->isModal());
        QCOMPARE(about->parentWidget(), h->window.get());

        // A second click keeps the one window and plays both gestures again.
        w().cmdAbout->click();
        QCOMPARE(h->log.size(), 4);
        QCOMPARE(w().aboutWindow(), about.data());
        QCOMPARE(w().findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
        QCOMPARE(w().forms().count(about.data()), 1);

        // The main window still takes input while the About window is open.
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h->window.get()));
        QVERIFY(about->isVisible());
        w().TextBox->setFocus();
        w().TextBox->moveCursor(QTextCursor::End);
        QTest::keyClicks(w().TextBox, QStringLiteral("!"));
        QVERIFY(w().TextBox->toPlainText().endsWith(QLatin1Char('!')));
    }

    void helpIsOneWindowAndClosesWithTheProgram() {
        w().cmdHelp->click();
        QVERIFY(h->log.isEmpty()); // help changes nothing and sends nothing
        QPointer<QWidget> help = w().helpWindow();
        QVERIFY(help && help->isVisible());
        w().cmdHelp->click();
        QCOMPARE(w().helpWindow(), help.data());
        w().cmdAbout->click();
        QPointer<QWidget> about = w().aboutWindow();

        h->log.clear();
        QVERIFY(w().close());
        QVERIFY(!help || !help->isVisible());
        QVERIFY(!about || !about->isVisible());
        QCOMPARE(h->log, QStringList{QStringLiteral("NotifyIcon Delete")});
    }

    // Clipboard monitoring and Clear All

    void switchingMonitoringOnAndOff() {
        h->clipboard.copy(QStringLiteral("old"));
        w().chkpaste->click();
        QCOMPARE(h->log, QStringList{QStringLiteral("Play Think")});
        QCOMPARE(h->clipboard.text, QStringLiteral("old")); // the user's clipboard is left alone
        QVERIFY(w().chkpaste->isChecked());
        QCOMPARE(w().state().MonitorClipboard, kTrue);
        QVERIFY(w().tmrClipboard->isActive());
        QCOMPARE(w().TextBox->toPlainText(), QString());
        QCOMPARE(w().chkpaste->toolTip(), QStringLiteral("Disable Clipboard Monitoring"));
        QCOMPARE(QApplication::focusWidget(), w().TextBox);

        w().TextBox->setPlainText(QStringLiteral("kept"));
        h->log.clear();
        w().chkpaste->click();
        QCOMPARE(h->log, QStringList{QStringLiteral("Play Think")});
        QVERIFY(!w().chkpaste->isChecked());
        QCOMPARE(w().state().MonitorClipboard, kFalse);
        QVERIFY(!w().tmrClipboard->isActive());
        QCOMPARE(w().chkpaste->toolTip(), QStringLiteral("Enable Clipboard Monitoring"));
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("kept"));
    }

    void whatWasCopiedBeforeMonitoringIsIgnored() {
        h->clipboard.copy(QStringLiteral("copied before"));
        w().chkpaste->click();
        for (int tick = 0; tick < 3; ++tick) {
            w().tmrClipboard_Timer();
            h->clipboard.answer();
        }
        QCOMPARE(h->clipboard.requests, 0);
        QCOMPARE(w().TextBox->toPlainText(), QString());

        h->clipboard.copy(QStringLiteral("copied after"));
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("copied after"));
    }

    void typedTextStaysUntilSomethingIsCopied() {
        w().chkpaste->click();
        h->clipboard.copy(QStringLiteral("copied"));
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        w().TextBox->setPlainText(QStringLiteral("typed by the user"));
        for (int tick = 0; tick < 3; ++tick) {
            w().tmrClipboard_Timer();
            h->clipboard.answer();
        }
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("typed by the user"));

        h->clipboard.copy(QStringLiteral("copied")); // the same text copied anew
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("copied"));
    }

    void monitoringIsDecidedByTheFlagNotTheTick() {
        // The tick mark already shows "on" when the handler runs; the flag decides.
        w().chkpaste->setChecked(true);
        w().chkpaste_Click();
        QCOMPARE(w().state().MonitorClipboard, kTrue);
        QVERIFY(w().chkpaste->isChecked());
    }

    void ticksFillTheBoxWithTheClipboardText() {
        w().chkpaste->click();
        h->clipboard.copy(QStringLiteral("copied word"));
        w().tmrClipboard_Timer();
        QCOMPARE(w().TextBox->toPlainText(), QString()); // nothing until the read answers
        h->clipboard.answer();
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("copied word"));
        QVERIFY(w().state().TextChanged.isTrue());

        h->log.clear();
        w().Button->click();
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"), QStringLiteral("Play Read"),
                                      speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\copied word")),
                                      QStringLiteral("Play ReadReturn")}));
    }

    void anUnchangedClipboardKeepsTheCaret() {
        w().chkpaste->click();
        h->clipboard.copy(QStringLiteral("same text here"));
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        QTextCursor cursor = w().TextBox->textCursor();
        cursor.setPosition(5);
        w().TextBox->setTextCursor(cursor);
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        QCOMPARE(w().TextBox->textCursor().position(), 5);
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("same text here"));
    }

    void aLongClipboardTextArrivesInPiecesAndIsSpokenWhole() {
        w().chkpaste->click();
        QString longText;
        while (longText.size() < 3 * SpeechCommands::kFillPiece + 10) {
            longText += QStringLiteral("A line of copied text.\n");
        }
        h->clipboard.copy(longText);
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        const qsizetype first = w().TextBox->toPlainText().size();
        QVERIFY2(first > 0 && first < longText.size(), "the first piece goes in at once, the rest later");
        h->log.clear();
        w().Button->click(); // Say it before the rest has arrived: the whole text is spoken
        QCOMPARE(h->log.at(2), speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\") + longText));
        QCOMPARE(w().TextBox->toPlainText(), longText);
    }

    void clearAllStopsALongFill() {
        w().chkpaste->click();
        h->clipboard.copy(QStringLiteral("line\n").repeated(SpeechCommands::kFillPiece));
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        QVERIFY(!w().TextBox->toPlainText().isEmpty());
        w().cmdClear->click();
        // A zero timer set now fires after the fill's next step, which was set before the click.
        bool stepsDone = false;
        QTimer::singleShot(0, this, [&stepsDone] { stepsDone = true; });
        QTRY_VERIFY(stepsDone);
        QCOMPARE(w().TextBox->toPlainText(), QString());
    }

    void aLongFillCompletesByItself() {
        w().chkpaste->click();
        h->clipboard.copy(QStringLiteral("a few words\n").repeated(SpeechCommands::kFillPiece / 4));
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        QVERIFY(w().TextBox->toPlainText().size() < h->clipboard.text.size());
        QTRY_COMPARE(w().TextBox->toPlainText(), h->clipboard.text);
    }

    void aLongLineIsShownInParagraphsAndSpokenAsCopied() {
        w().chkpaste->click();
        const QString copied =
            QStringLiteral("word ").repeated(SpeechCommands::kFillPiece / 2) + QStringLiteral("\nend");
        h->clipboard.copy(copied);
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        QTRY_COMPARE(w().TextBox->toPlainText().remove(QLatin1Char('\n')),
                     QString(copied).remove(QLatin1Char('\n')));
        for (QTextBlock block = w().TextBox->document()->begin(); block.isValid(); block = block.next()) {
            QVERIFY(block.length() - 1 <= SpeechCommands::kLongLine);
            QVERIFY(block.text().isEmpty() || block.next() == w().TextBox->document()->end() ||
                    block.text().endsWith(QLatin1Char(' '))); // broken after a space
        }
        h->log.clear();
        w().Button->click();
        QCOMPARE(h->log.at(2), speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\") + copied));

        // Once the user edits the box, Say it speaks the box.
        w().TextBox->moveCursor(QTextCursor::End);
        QTest::keyClicks(w().TextBox, QStringLiteral("!"));
        h->log.clear();
        w().Button->click();
        QCOMPARE(h->log.at(2),
                 speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\") + w().TextBox->toPlainText()));
        QVERIFY(w().TextBox->toPlainText().endsWith(QStringLiteral("end!")));
    }

    void longLinesBreakAfterSpacesAndNeverInsideACharacter_data() {
        QTest::addColumn<QString>("text");
        const qsizetype limit = SpeechCommands::kLongLine;
        QTest::newRow("short lines") << QStringLiteral("a line\nanother line\n");
        QTest::newRow("exactly the limit") << QString(limit, QLatin1Char('x'));
        QTest::newRow("words") << QStringLiteral("many words ").repeated(limit);
        QTest::newRow("no space") << QString(3 * limit + 5, QLatin1Char('x'));
        QTest::newRow("a surrogate pair at the limit") << QString(limit - 1, QLatin1Char('x')) +
                                                              QString::fromUtf8("\xf0\x9f\x98\x80") +
                                                              QStringLiteral("yyy");
        QTest::newRow("long and short lines") << QStringLiteral("w ").repeated(limit) +
                                                     QStringLiteral("\nshort\n") +
                                                     QStringLiteral("v ").repeated(limit);
    }
    void longLinesBreakAfterSpacesAndNeverInsideACharacter() {
        QFETCH(QString, text);
        const QString broken = SpeechCommands::withLongLinesBroken(text);
        const QStringList lines = broken.split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            QVERIFY(line.size() <= SpeechCommands::kLongLine);
            QVERIFY(line.isEmpty() || !line.front().isLowSurrogate());
        }
        // Only line breaks were added, and only where a line was too long.
        QCOMPARE(QString(broken).remove(QLatin1Char('\n')), QString(text).remove(QLatin1Char('\n')));
        const QStringList textLines = text.split(QLatin1Char('\n'));
        const bool tooLong = std::any_of(textLines.cbegin(), textLines.cend(), [](const QString& line) {
            return line.size() > SpeechCommands::kLongLine;
        });
        QCOMPARE(broken == text, !tooLong);
    }

    void aPictureOnlyClipboardEmptiesTheBox() {
        w().chkpaste->click();
        w().TextBox->setPlainText(QStringLiteral("typed meanwhile"));
        h->clipboard.copy(QString());
        w().tmrClipboard_Timer();
        h->clipboard.answerWith(QString()); // no text form on the clipboard
        QCOMPARE(w().TextBox->toPlainText(), QString());
    }

    void aFailedOrHangingReadLeavesTheBoxAndMonitoringGoesOn() {
        w().chkpaste->click();
        w().TextBox->setPlainText(QStringLiteral("typed meanwhile"));
        h->clipboard.copy(QStringLiteral("unreadable"));
        w().tmrClipboard_Timer();
        w().tmrClipboard_Timer(); // the first read still hangs: this tick gets no text at once
        QCOMPARE(h->clipboard.requests, 2);
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("typed meanwhile"));
        h->clipboard.answerWith(std::nullopt); // timed out
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("typed meanwhile"));
        w().tmrClipboard_Timer(); // the copy is still unread: the next tick tries again
        QCOMPARE(h->clipboard.requests, 3);
        h->clipboard.answerWith(std::nullopt);
        QVERIFY(h->messageBoxes.shown.isEmpty());
        QVERIFY(w().tmrClipboard->isActive());

        h->clipboard.copy(QStringLiteral("later"));
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("later"));
    }

    void aReadThatEndsAfterSwitchingOffIsDropped() {
        w().chkpaste->click();
        h->clipboard.copy(QStringLiteral("late"));
        w().tmrClipboard_Timer();
        w().chkpaste->click();
        h->clipboard.answer();
        QCOMPARE(w().TextBox->toPlainText(), QString());
    }

    void ticksDoNothingWhileOff() {
        h->clipboard.copy(QStringLiteral("x"));
        w().tmrClipboard_Timer();
        QCOMPARE(h->clipboard.requests, 0);
        QCOMPARE(w().TextBox->toPlainText(), kPrompt);
    }

    void clearAll() {
        w().txtpitch->setFocus();
        h->clipboard.copy(QStringLiteral("something"));
        w().cmdClear_Click();
        QCOMPARE(h->log, (QStringList{QStringLiteral("Clipboard clear"), QStringLiteral("Play DoMagic2"),
                                      QStringLiteral("Play RestPose")}));
        QCOMPARE(w().TextBox->toPlainText(), QString());
        QVERIFY(w().state().TextChanged.isTrue());
        QCOMPARE(QApplication::focusWidget(), w().TextBox);
        QCOMPARE(w().state().MonitorClipboard, kFalse);
    }

    void clearAllWhileMonitoring() {
        w().chkpaste->click();
        h->clipboard.copy(QStringLiteral("before"));
        w().tmrClipboard_Timer(); // a read under way while Clear All runs
        w().cmdClear->click();
        h->clipboard.answerWith(QStringLiteral("before"));
        QCOMPARE(w().TextBox->toPlainText(), QString());
        QCOMPARE(h->clipboard.text, QString());
        w().TextBox->setPlainText(QStringLiteral("typed after Clear All"));
        w().tmrClipboard_Timer();
        h->clipboard.answer();
        // Neither the copy from before nor the emptying is a new text to show.
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("typed after Clear All"));
        QVERIFY(w().chkpaste->isChecked());
        QVERIFY(w().tmrClipboard->isActive());
        QCOMPARE(w().state().MonitorClipboard, kTrue);
    }
};

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
