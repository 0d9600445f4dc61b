// What the desktop asks the running program from outside its window (the session bus's activation and
// actions, the tray menu): the requests the character sees, the clipboard reads, and that the text box is
// never touched.
#include "MainWindowHarness.h"
#include "app/SessionBus.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QtTest>

using namespace cw;
using namespace cw::test;

namespace {
using Selection = IClipboard::Selection;
QString speak(const QString& pitch, const QString& speed, const QString& text) {
    return QStringLiteral("Speak \\Pit=%1\\\\Spd=%2\\\\Chr=\\%3").arg(pitch, speed, text);
}
} // namespace

class DesktopActionsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<MainWindowHarness> h;
    CWmain& w() { return *h->window; }

private slots:
    void init() {
        h = std::make_unique<MainWindowHarness>();
        h->startUp();
        w().TextBox->setPlainText(QStringLiteral("the box's own text"));
        h->log.clear();
    }
    void cleanup() { h.reset(); }

    void sayClipboardSpeaksItWithTheFieldsAndLeavesTheBox() {
        w().txtpitch->setText(QStringLiteral("80"));
        w().txtspeed->setText(QStringLiteral("150"));
        QVERIFY(w().activateAction(QStringLiteral("say-clipboard")));
        QVERIFY(h->log.isEmpty()); // nothing is said before the clipboard answers
        QCOMPARE(h->clipboard.pending.size(), 1);
        h->clipboard.answerWith(QStringLiteral("copied words"));
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"), speak("80", "150", "copied words")}));
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("the box's own text"));
        QCOMPARE(h->clipboard.selectionRequests, 0);
    }

    void saySelectionSpeaksThePrimarySelection() {
        QVERIFY(w().activateAction(QStringLiteral("say-selection")));
        QVERIFY(h->clipboard.answerSelection(Selection::Primary, QStringLiteral("highlighted words")));
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"), speak("60", "100", "highlighted words")}));
        QCOMPARE(h->clipboard.requests, 0);
        QCOMPARE(w().TextBox->toPlainText(), QStringLiteral("the box's own text"));
    }

    void saySelectionFallsBackToTheClipboardWhenNothingIsSelected() {
        QVERIFY(w().activateAction(QStringLiteral("say-selection")));
        QVERIFY(h->clipboard.answerSelection(Selection::Primary, QString()));
        QVERIFY(h->log.isEmpty());
        QCOMPARE(h->clipboard.pending.size(), 1);
        h->clipboard.answerWith(QStringLiteral("from the clipboard"));
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"), speak("60", "100", "from the clipboard")}));
    }

    void aFailedReadSaysNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("clipboard") << "say-clipboard";
        QTest::newRow("selection") << "say-selection";
    }
    void aFailedReadSaysNothing() {
        QFETCH(QString, action);
        QVERIFY(w().activateAction(action));
        if (action == QLatin1String("say-selection")) {
            // A frozen owner times out: the action gives up rather than asking the clipboard too.
            QVERIFY(h->clipboard.answerSelection(Selection::Primary, std::nullopt));
            QCOMPARE(h->clipboard.requests, 0);
        } else {
            h->clipboard.answerWith(std::nullopt);
        }
        QVERIFY(h->log.isEmpty());
        // The window still answers the next request.
        QVERIFY(w().activateAction(QStringLiteral("say-clipboard")));
        h->clipboard.answerWith(QStringLiteral("next"));
        QCOMPARE(h->log, (QStringList{QStringLiteral("Show"), speak("60", "100", "next")}));
    }

    void anEmptyClipboardSaysNothing() {
        QVERIFY(w().activateAction(QStringLiteral("say-clipboard")));
        h->clipboard.answerWith(QString());
        QVERIFY(h->log.isEmpty());
    }

    void aReadAnsweredAfterTheWindowIsGoneIsDropped() {
        QVERIFY(w().activateAction(QStringLiteral("say-clipboard")));
        auto done = std::move(h->clipboard.pending.front());
        h->clipboard.pending.clear();
        h->window.reset();
        done(QStringLiteral("late")); // must not reach the destroyed window
        QVERIFY(!h->log.contains(speak("60", "100", "late")));
    }

    void stopStopsTheCharacter() {
        QVERIFY(w().activateAction(QStringLiteral("stop")));
        QCOMPARE(h->log, QStringList{QStringLiteral("Stop")});
    }

    void showRestoresTheWindowAndTheCharacter() {
        w().showMinimized();
        QVERIFY(w().activateAction(QStringLiteral("show")));
        QCOMPARE(h->log, QStringList{QStringLiteral("Show")});
        QVERIFY(!w().isMinimized());
        QVERIFY(w().isVisible());
    }

    void activationKeepsAHiddenCharacterHidden() {
        w().cmdHide_Click();
        w().showMinimized();
        h->log.clear();
        w().activateFromDesktop();
        QVERIFY(h->log.isEmpty());
        QVERIFY(!w().isMinimized());
    }

    void quitEndsTheProgramAsClosingTheWindowDoes() {
        QSignalSpy unloaded(h->window.get(), &CWmain::unloaded);
        QVERIFY(h->tray.shown);
        QVERIFY(w().activateAction(QStringLiteral("quit")));
        QCOMPARE(unloaded.size(), 1);
        QVERIFY(!h->tray.shown);
        QVERIFY(!w().isVisible());
    }

    void unknownActionsAreRefused() {
        QVERIFY(!w().activateAction(QStringLiteral("format-disk")));
        QVERIFY(!w().activateAction(QString()));
        QVERIFY(h->log.isEmpty());
        QVERIFY(w().isVisible());
    }

    void theBusObjectHandsCallsToItsHandlers() {
        ApplicationBusObject object;
        QStringList calls;
        auto handlers = ApplicationBusObject::Handlers{[&] { calls.append(QStringLiteral("activate")); },
                                                       [&](const QString& name) {
                                                           calls.append(name);
                                                           return true;
                                                       }};
        object.setHandlers(handlers);
        object.Activate({});
        object.ActivateAction(QStringLiteral("say-selection"), {}, {});
        QCOMPARE(calls, (QStringList{QStringLiteral("activate"), QStringLiteral("say-selection")}));
    }

    void callsBeforeTheWindowIsReadyAreHeldNotLost() {
        // A start by D-Bus activation receives the call that started it before its window is loaded.
        ApplicationBusObject object;
        object.ActivateAction(QStringLiteral("show"), {}, {});
        object.Activate({});
        object.ActivateAction(QStringLiteral("say-selection"), {}, {});
        QStringList calls;
        object.setHandlers({[&] { calls.append(QStringLiteral("activate")); },
                            [&](const QString& name) {
                                calls.append(name);
                                return true;
                            }});
        QCOMPARE(calls, (QStringList{QStringLiteral("show"), QStringLiteral("activate"),
                                     QStringLiteral("say-selection")}));
        object.ActivateAction(QStringLiteral("stop"), {}, {});
        QCOMPARE(calls.size(), 4); // each held call ran once
        QCOMPARE(calls.last(), QStringLiteral("stop"));
    }
};

QTEST_MAIN(DesktopActionsTest)
#include "tst_desktop_actions.moc"
