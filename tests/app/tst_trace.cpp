// The request trace of a Say it: the real main window and the real character engine, with the trace switched
// on as a developer would, read back through a message handler.
#include "MainWindowHarness.h"
#include "app/CharacterServiceFactory.h"
#include "character/Agent.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QtTest>

using namespace cw;
using namespace cw::test;

namespace {

// One step as the trace printed it: its monotonic time and its name without the request id.
struct Step {
    double ms = 0;
    QString name;
};

QMutex stepsLock;
QList<Step> steps;
QtMessageHandler previousHandler = nullptr;

void captureTrace(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && qstrcmp(context.category, "chatterwisp.trace") == 0) {
        // "<ms> <step words> [<request id>]"
        QStringList words = message.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        Step step;
        step.ms = words.isEmpty() ? -1 : words.takeFirst().toDouble();
        if (!words.isEmpty() && words.last().front().isDigit()) {
            words.removeLast();
        }
        step.name = words.join(QLatin1Char(' '));
        const QMutexLocker lock(&stepsLock);
        steps.append(step);
        return;
    }
    previousHandler(type, context, message);
}

QList<Step> stepsSoFar() {
    const QMutexLocker lock(&stepsLock);
    return steps;
}

QStringList namesSince(const QList<Step>& all, const QString& first) {
    QStringList names;
    bool started = false;
    for (const Step& step : all) {
        started = started || step.name == first;
        if (started) {
            names << step.name;
        }
    }
    return names;
}

// The main window on the real character service, which loads the genie built with the program.
struct TracedWindow {
    TracedWindow() {
        auto service = makeCharacterService({QStringLiteral(CW_CHARACTER_DIR)});
        agent = service.get();
        window = std::make_unique<CWmain>(
            PlatformServices{std::move(service), tray, clipboard, messageBoxes, sound, shell, registry});
        window->Form_Initialize();
        window->Form_Load();
    }

    // Ends the start-up greeting, so a Say it is served at once.
    void quiet() {
        character::CharacterEngine& engine = agent->character(QStringLiteral("Genie"))->engine();
        QTRY_VERIFY(engine.isVisible());
        window->cmdShut_Click();
        QTRY_COMPARE(engine.activity(), character::CharacterEngine::Activity::None);
    }

    QStringList log;
    RecordingNotificationArea tray{log};
    FakeClipboard clipboard{log};
    RecordingMessageBoxes messageBoxes;
    FakeSoundDevices sound{1};
    RecordingShell shell;
    FakeRegistry registry;
    character::Agent* agent = nullptr;
    std::unique_ptr<CWmain> window;
};

} // namespace

class TraceTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(captureTrace); }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }
    void init() {
        const QMutexLocker lock(&stepsLock);
        steps.clear();
    }
    void cleanup() { QLoggingCategory::setFilterRules(QString()); }

    void sayItStepsInOrder_data() {
        QTest::addColumn<bool>("textChanged");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("prompt untouched")
            << false
            << QStringList{
                   "button released", "say it entered",     "queued Show",        "queued Speak",
                   "started Show",    "finished Show",      "started Speak",      "speech handed to engine",
                   "synthesis asked", "paragraph language", "first samples ready"};
        QTest::newRow("text changed: Read first")
            << true << QStringList{"button released", "say it entered",     "queued Show",
                                   "queued Play",     "queued Speak",       "queued Play",
                                   "started Show",    "finished Show",      "started Play",
                                   "finished Play",   "started Speak",      "speech handed to engine",
                                   "synthesis asked", "paragraph language", "first samples ready"};
    }

    void sayItStepsInOrder() {
        QFETCH(bool, textChanged);
        QFETCH(QStringList, expected);
        QLoggingCategory::setFilterRules(QStringLiteral("chatterwisp.trace.debug=true"));
        TracedWindow traced;
        traced.quiet();
        if (textChanged) {
            traced.window->TextBox->setPlainText(QStringLiteral("Hello."));
        }
        QTest::mouseClick(traced.window->Button, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(namesSince(stepsSoFar(), QStringLiteral("button released"))
                                     .contains(QStringLiteral("first samples ready")),
                                 10000);

        const QList<Step> all = stepsSoFar();
        QStringList names = namesSince(all, QStringLiteral("button released"));
        // Frames and balloon updates interleave with the requests as they happen, the voice finishes loading
        // on its own thread whenever it is done, and the audio output's steps only come where there is a
        // sound server; the requests' own steps keep this order.
        names.removeIf([](const QString& name) {
            return name == u"frame composed" || name == u"balloon updated" || name == u"voice ready" ||
                   name == u"language finder ready" || name.startsWith(u"speech prep") ||
                   name.startsWith(u"audio ");
        });
        for (QString& name : names) {
            if (name.startsWith(u"paragraph language ")) {
                name = QStringLiteral("paragraph language"); // its details: language, certainty, voice
            }
        }
        QCOMPARE(names.mid(0, expected.size()), expected);
        // The voice is warmed once per engine, and on the same thread as the request, so before it.
        QStringList allNames;
        for (const Step& step : all) {
            allNames << step.name;
        }
        QCOMPARE(allNames.count(QStringLiteral("voice ready")), 1);
        QVERIFY(allNames.indexOf(QStringLiteral("voice ready")) <
                allNames.indexOf(QStringLiteral("first samples ready")));
        // So is the finder of paragraphs' languages.
        QCOMPARE(allNames.count(QStringLiteral("language finder ready")), 1);
        QVERIFY(allNames.indexOf(QStringLiteral("language finder ready")) <
                allNames.indexOf(QStringLiteral("first samples ready")));
        for (qsizetype i = 1; i < all.size(); ++i) {
            QVERIFY2(all[i].ms >= all[i - 1].ms,
                     qPrintable(all[i].name + QStringLiteral(" goes back in time")));
        }
    }

    // The real speech engine's words reach the box through the character: each is highlighted once the
    // balloon shows it, one after another, and the highlight goes when the speech ends.
    void theSpokenWordIsHighlightedInStepWithTheBalloon() {
        TracedWindow traced;
        traced.quiet();
        character::CharacterEngine& engine = traced.agent->character(QStringLiteral("Genie"))->engine();
        const QString sentence = QStringLiteral("Hello there, genie.");
        traced.window->TextBox->setPlainText(sentence);
        struct Seen {
            int start = 0;
            QString word;
            bool balloonShowsIt = false;
        };
        QList<Seen> seen;
        // Queued, so the window has handled the word by the time it is looked at.
        connect(
            &engine, &character::CharacterEngine::wordSpoken, this,
            [&] {
                const auto selections = traced.window->TextBox->extraSelections();
                if (selections.size() != 1) {
                    return;
                }
                const QTextCursor& word = selections.constFirst().cursor;
                seen.append({word.selectionStart(), word.selectedText(),
                             engine.balloon().shown >= word.selectionEnd()});
            },
            Qt::QueuedConnection);
        cw::RequestId said = 0;
        bool ended = false;
        connect(&engine, &character::CharacterEngine::speechStarted, this,
                [&](cw::RequestId id, const QString&) { said = id; });
        connect(&engine, &character::CharacterEngine::requestFinished, this,
                [&](cw::RequestId id, bool) { ended = ended || (said != 0 && id == said); });
        traced.window->Button_Click();
        QTRY_VERIFY_WITH_TIMEOUT(ended, 20000);

        QStringList words;
        for (const Seen& s : seen) {
            words << s.word;
            QVERIFY2(s.balloonShowsIt,
                     qPrintable(s.word + QStringLiteral(" was highlighted before the balloon")));
            QVERIFY2(sentence.mid(s.start).startsWith(s.word), qPrintable(s.word));
        }
        QVERIFY2(words.size() >= 3, qPrintable(words.join(u'|')));
        QVERIFY2(words.first().startsWith(QStringLiteral("Hello")), qPrintable(words.join(u'|')));
        QVERIFY2(words.last().startsWith(QStringLiteral("genie")), qPrintable(words.join(u'|')));
        for (qsizetype i = 1; i < seen.size(); ++i) {
            QVERIFY2(seen[i].start > seen[i - 1].start, qPrintable(words.join(u'|')));
        }
        QVERIFY(traced.window->TextBox->extraSelections().isEmpty());
    }

    void offUnlessSwitchedOn() {
        // The program's own rules, as it starts with them: details stay quiet.
        QLoggingCategory::setFilterRules(QStringLiteral("chatterwisp.*.debug=false\ncw.*.debug=false"));
        TracedWindow traced;
        traced.quiet();
        QTest::mouseClick(traced.window->Button, Qt::LeftButton);
        character::CharacterEngine& engine = traced.agent->character(QStringLiteral("Genie"))->engine();
        QTRY_COMPARE(engine.activity(), character::CharacterEngine::Activity::Speaking);
        QVERIFY(stepsSoFar().isEmpty());
    }
};

QTEST_MAIN(TraceTest)
#include "tst_trace.moc"
