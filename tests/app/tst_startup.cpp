// Start-up and shutdown of the main window, against recording fakes.
#include "MainWindowHarness.h"
#include "app/FailureReport.h"
#include "app/TrayIcon.h"

#include <QFile>
#include <QImageReader>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QtTest>

using namespace cw;
using namespace cw::test;

namespace {

// The image format plugins this process has loaded, from its memory map.
QStringList loadedImagePlugins() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    QStringList plugins;
    if (maps.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : maps.readAll().split('\n')) {
            if (line.contains("/imageformats/")) {
                plugins << QString::fromLocal8Bit(line.mid(line.lastIndexOf(' ') + 1));
            }
        }
    }
    plugins.removeDuplicates();
    return plugins;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    // First, while nothing has been drawn in this process: reading the window icon must not make Qt load and
    // query every installed image format plugin before the main window can be shown.
    void mainWindowMadeWithoutImagePlugins() {
        MainWindowHarness h;
        QVERIFY(!h.window->windowIcon().isNull());
        QCOMPARE(loadedImagePlugins(), QStringList());
        // The check can fail: an image read with its format left to be detected loads them.
        QImageReader(QStringLiteral(":/chatterwisp/chatterwisp-64.png")).read();
        QVERIFY(!loadedImagePlugins().isEmpty());
    }

    void startUpRequestsInOrder() {
        MainWindowHarness h;
        h.window->Form_Initialize();
        h.window->Form_Load();
        // He goes to stand clear of the main window, wholly on the screen's available area (the offscreen
        // screen is 800 x 600: the classic point would be off it).
        const qsizetype move = h.log.indexOf(QRegularExpression(QStringLiteral("^MoveTo -?\\d+ -?\\d+$")));
        QVERIFY(move >= 0);
        const QStringList point = h.log[move].split(QLatin1Char(' '));
        const QRect genie(point[1].toInt(), point[2].toInt(), 200, 220);
        QVERIFY(!genie.intersects(h.window->frameGeometry()));
        QVERIFY(h.window->screen()->availableGeometry().contains(genie));
        h.log[move] = QStringLiteral("MoveTo");
        const QStringList expected{
            QStringLiteral("NotifyIcon Add"), QStringLiteral("Load Genie genie.acs"),
            QStringLiteral("Item Genie"),     QStringLiteral("LanguageID 1033"),
            QStringLiteral("Show"),           QStringLiteral("MoveTo"),
            QStringLiteral("Play Greet"),     QStringLiteral("Play Blink"),
            QStringLiteral("IdleOn -1"),
        };
        QCOMPARE(h.log, expected);
        QVERIFY(h.window->isVisible());
        QCOMPARE(
            h.window->TextBox->toPlainText(),
            QStringLiteral("Type something in here for the Genie to say. Then press the Sayit! button."));
    }

    void stateAfterStartUp() {
        MainWindowHarness h;
        const MainWindowState& s = h.window->state();
        // Before start-up the variant flags hold no value: equal to False, unequal to True.
        QVERIFY(!s.CharacterVisible.hasValue() && s.CharacterVisible.isFalse() &&
                !s.CharacterVisible.isTrue());
        QVERIFY(!s.TextChanged.hasValue() && s.TextChanged.isFalse());

        h.window->Form_Initialize();
        h.window->Form_Load();
        QVERIFY(s.TextChanged.hasValue());
        QVERIFY2(s.TextChanged.isFalse(), "the prompt set at start-up does not count as a change");
        QVERIFY(s.CharacterVisible.isTrue());
        QCOMPARE(s.MonitorClipboard, kFalse);
        QCOMPARE(s.LastTrayMessage, 0);
        QCOMPARE(s.Character, &h.character());
        QVERIFY(!h.window->tmrClipboard->isActive());
        QCOMPARE(h.window->tmrClipboard->interval(), 2000);

        // The first change afterwards sets the flag for good.
        h.window->TextBox->insertPlainText(QStringLiteral("x"));
        QVERIFY(s.TextChanged.isTrue());
        h.window->TextBox->clear();
        QVERIFY(s.TextChanged.isTrue());
    }

    void trayShowsTheWindowIconAndVersionUntilTheWindowCloses() {
        MainWindowHarness h;
        QVERIFY(!h.tray.shown);
        h.window->Form_Initialize();
        h.window->Form_Load();
        QVERIFY(h.tray.shown);
        QCOMPARE(h.tray.records.size(), 1);
        QCOMPARE(h.tray.records.first().tip, QStringLiteral("Chatterwisp v1.016")); // the tip up to its NUL
        const QSize size(16, 16);
        QCOMPARE(h.tray.records.first().icon.pixmap(size).toImage(),
                 h.window->windowIcon().pixmap(size).toImage());
        QVERIFY(!h.tray.records.first().icon.isNull());

        h.log.clear();
        QVERIFY(h.window->close());
        QVERIFY(!h.tray.shown);
        QCOMPARE(h.log.count(QStringLiteral("NotifyIcon Delete")), 1);
    }

    void soundCardMessage_data() {
        QTest::addColumn<int>("outputs");
        QTest::addColumn<int>("boxes");
        QTest::newRow("no output device") << 0 << 1;
        QTest::newRow("one output device") << 1 << 0;
        QTest::newRow("several output devices") << 3 << 0;
    }
    void soundCardMessage() {
        QFETCH(int, outputs);
        QFETCH(int, boxes);
        MainWindowHarness h(outputs);
        h.window->Form_Initialize();
        // The message comes before the window is shown, and start-up goes on the same way afterwards.
        QVERIFY(!h.window->isVisible());
        QCOMPARE(h.messageBoxes.shown.size(), boxes);
        if (boxes) {
            QCOMPARE(h.messageBoxes.shown.first().text,
                     QStringLiteral(
                         "No sound card is present on this computer.Chatterwisp required a sound card to "
                         "function properly."));
            QCOMPARE(h.messageBoxes.shown.first().title, QStringLiteral("No sound card found"));
            QCOMPARE(h.messageBoxes.shown.first().icon, MessageIcon::Critical);
        }
        h.window->Form_Load();
        QCOMPARE(h.log.size(), 9);
        QCOMPARE(h.messageBoxes.shown.size(), boxes);
        QCOMPARE(h.sound.asked, 1);
    }

    void failingLoadStopsStartUp() {
        MainWindowHarness h;
        h.characters->failLoadWith = QStringLiteral("The character file \"genie.acs\" could not be loaded.");
        h.window->Form_Initialize();
        QVERIFY_THROWS_EXCEPTION(Failure, h.window->Form_Load());
        QCOMPARE(h.log,
                 (QStringList{QStringLiteral("NotifyIcon Add"), QStringLiteral("Load Genie genie.acs")}));
        QVERIFY(h.window->state().Character == nullptr);
        QVERIFY(!h.window->state().CharacterVisible.hasValue());

        // The failure path: one critical report titled with the program's name, then the tray icon goes.
        reportFailure(h.characters->failLoadWith, h.messageBoxes, h.tray, h.window->state().TrayIconData);
        QCOMPARE(h.messageBoxes.shown.size(), 1);
        QCOMPARE(h.messageBoxes.shown.first().title, QStringLiteral("Chatterwisp"));
        QCOMPARE(h.messageBoxes.shown.first().icon, MessageIcon::Critical);
        QVERIFY(h.messageBoxes.shown.first().text.contains(h.characters->failLoadWith));
        QCOMPARE(h.log.last(), QStringLiteral("NotifyIcon Delete"));
    }

    void failingAnimationStopsStartUpAtThatStep() {
        MainWindowHarness h;
        h.character().failingAnimations.insert(QStringLiteral("Blink"));
        h.window->Form_Initialize();
        QVERIFY_THROWS_EXCEPTION(Failure, h.window->Form_Load());
        QCOMPARE(h.log.last(), QStringLiteral("Play Greet"));
        QVERIFY(!h.log.contains(QStringLiteral("IdleOn -1")));
        // The prompt's change event ran; the steps that would reset the flags did not.
        QVERIFY(h.window->state().TextChanged.isTrue());
        QVERIFY(!h.window->state().CharacterVisible.hasValue());
    }

    void failureReportSaysWhatFailed() {
        QVERIFY(failureReportText(QStringLiteral("Reason X")).contains(QStringLiteral("Reason X")));
        QVERIFY(!failureReportText(QString()).trimmed().endsWith(QLatin1Char(':')));
    }

    void shutdownClosesOtherWindowsAndRemovesTheIcon() {
        MainWindowHarness h;
        h.startUp();
        QWidget about;
        about.setObjectName(QStringLiteral("frmAbout"));
        QWidget help;
        help.setObjectName(QStringLiteral("HelpWindow"));
        h.window->addForm(&about);
        h.window->addForm(&help);
        about.show();
        help.show();
        QCOMPARE(h.window->forms(), (QWidgetList{h.window.get(), &about, &help}));

        QSignalSpy unloaded(h.window.get(), &CWmain::unloaded);
        QVERIFY(h.window->close());
        QVERIFY(!about.isVisible());
        QVERIFY(!help.isVisible());
        QCOMPARE(unloaded.size(), 1);
        // The icon goes first, and the character is sent nothing: no Stop, Hide or unload.
        QCOMPARE(h.log, QStringList{QStringLiteral("NotifyIcon Delete")});
        QVERIFY(!h.tray.shown);
    }

    void unloadAllFormsKeepsOnlyTheNamedWindow() {
        MainWindowHarness h;
        h.startUp();
        QWidget other;
        other.setObjectName(QStringLiteral("cwmain")); // names compare exactly, case included
        h.window->addForm(&other);
        other.show();
        h.window->UnloadAllForms(QStringLiteral("CWmain"));
        QVERIFY(!other.isVisible());
        QVERIFY(h.window->isVisible());
    }

    void noTimerWakesTheIdleWindow() {
        MainWindowHarness h;
        h.startUp();
        // With monitoring off nothing of the window's own ticks; only the clipboard timer exists, stopped.
        const auto timers = h.window->findChildren<QTimer*>();
        for (const QTimer* timer : timers) {
            QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
        }
        QCOMPARE(timers.size(), 1);
        QCOMPARE(timers.front(), h.window->tmrClipboard);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
