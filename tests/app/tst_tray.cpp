// The tray icon: its tip, which events bring the main window back, and its context menu.
#include "MainWindowHarness.h"
#include "app/TrayIcon.h"

#include <QSignalSpy>
#include <QtTest>

using namespace cw;
using namespace cw::test;

class TrayTest : public QObject {
    Q_OBJECT
private slots:
    void tipText_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("visible");
        QTest::newRow("this version") << 1 << 0 << 16 << "Chatterwisp v1.016";
        QTest::newRow("two-digit minor") << 2 << 10 << 3 << "Chatterwisp v2.103";
        QTest::newRow("zeros") << 0 << 0 << 0 << "Chatterwisp v0.00";
    }
    void tipText() {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QString, visible);
        const AppIdentity identity{QStringLiteral("Chatterwisp"), static_cast<std::int16_t>(major),
                                   static_cast<std::int16_t>(minor), static_cast<std::int16_t>(revision)};
        const QString tip = trayTip(identity);
        QCOMPARE(tip.size(), 64);
        QCOMPARE(tip.left(visible.size()), visible);
        QCOMPARE(tip.at(visible.size()), QChar(0));
        QCOMPARE(tip.mid(visible.size() + 1), QString(63 - visible.size(), QLatin1Char(' ')));
    }

    void aLongTitleIsCutAt64() {
        const AppIdentity identity{QString(70, QLatin1Char('x')), 1, 0, 16};
        const QString tip = trayTip(identity);
        QCOMPARE(tip, QString(64, QLatin1Char('x')));
    }

    void eventSequences_data() {
        using E = TrayEvent;
        QTest::addColumn<QList<TrayEvent>>("events");
        QTest::addColumn<int>("acts");
        QTest::newRow("left click") << QList<E>{E::LeftPress, E::LeftRelease} << 1;
        QTest::newRow("double click")
            << QList<E>{E::LeftPress, E::LeftRelease, E::LeftDoubleClick, E::LeftRelease} << 2;
        QTest::newRow("right click") << QList<E>{E::RightPress, E::RightRelease} << 1;
        QTest::newRow("middle click") << QList<E>{E::MiddlePress, E::MiddleRelease} << 0;
        QTest::newRow("release without press") << QList<E>{E::LeftRelease, E::RightRelease} << 0;
        QTest::newRow("left press, right release") << QList<E>{E::LeftPress, E::RightRelease} << 0;
        QTest::newRow("press, other press, release")
            << QList<E>{E::LeftPress, E::RightPress, E::LeftRelease} << 0;
        QTest::newRow("double click alone") << QList<E>{E::LeftDoubleClick} << 1;
    }
    void eventSequences() {
        QFETCH(QList<TrayEvent>, events);
        QFETCH(int, acts);
        MainWindowHarness h;
        h.startUp();
        h.window->showMinimized();
        for (TrayEvent event : events) {
            h.tray.send(event);
        }
        QCOMPARE(h.log, QStringList(acts, QStringLiteral("Show")));
        QCOMPARE(h.window->isMinimized(), acts == 0);
        QVERIFY(h.window->isVisible());
    }

    void aHiddenCharacterStaysHidden() {
        MainWindowHarness h;
        h.startUp();
        h.window->cmdHide_Click();
        h.window->showMinimized();
        h.log.clear();
        h.tray.send(TrayEvent::LeftPress);
        h.tray.send(TrayEvent::LeftRelease);
        QVERIFY(h.log.isEmpty());
        QVERIFY(!h.window->isMinimized());
        QCOMPARE(h.window->cmdHide->caption(), QStringLiteral("Sho&w Genie"));
    }

    void pointerMovementOverTheWindowReplacesTheLastMessage() {
        MainWindowHarness h;
        h.startUp();
        h.tray.send(TrayEvent::LeftPress);
        // Pointer movement over the window's own surface: its x in pixels becomes the code.
        QTest::mouseMove(h.window.get(), QPoint(300, 5));
        QTRY_COMPARE(h.window->state().LastTrayMessage, 300);
        h.tray.send(TrayEvent::LeftRelease); // no longer directly after its press
        QVERIFY(h.log.isEmpty());
        h.window->Form_MouseMove(200);
        QCOMPARE(h.window->state().LastTrayMessage, 200);
    }

    void theMenuOffersTheActions() {
        MainWindowHarness h;
        h.startUp();
        QCOMPARE(h.tray.menuTexts(),
                 (QStringList{QStringLiteral("Restore"), QStringLiteral("Say the clipboard"),
                              QStringLiteral("Say the selection"), QStringLiteral("Stop"),
                              QStringLiteral("Quit")}));
    }

    void restoreBringsTheWindowBack() {
        MainWindowHarness h;
        h.startUp();
        h.window->showMinimized();
        QVERIFY(h.tray.choose(QStringLiteral("Restore")));
        QCOMPARE(h.log, QStringList{QStringLiteral("Show")});
        QVERIFY(!h.window->isMinimized());
    }

    void sayTheClipboardSpeaksItsText() {
        MainWindowHarness h;
        h.startUp();
        QVERIFY(h.tray.choose(QStringLiteral("Say the clipboard")));
        h.clipboard.answerWith(QStringLiteral("copied"));
        QCOMPARE(h.log, (QStringList{QStringLiteral("Show"),
                                     QStringLiteral("Speak \\Pit=60\\\\Spd=100\\\\Chr=\\copied")}));
    }

    void sayTheSelectionSpeaksThePrimarySelection() {
        MainWindowHarness h;
        h.startUp();
        QVERIFY(h.tray.choose(QStringLiteral("Say the selection")));
        QVERIFY(h.clipboard.answerSelection(IClipboard::Selection::Primary, QStringLiteral("selected")));
        QCOMPARE(h.log, (QStringList{QStringLiteral("Show"),
                                     QStringLiteral("Speak \\Pit=60\\\\Spd=100\\\\Chr=\\selected")}));
    }

    void stopStopsTheCharacter() {
        MainWindowHarness h;
        h.startUp();
        QVERIFY(h.tray.choose(QStringLiteral("Stop")));
        QCOMPARE(h.log, QStringList{QStringLiteral("Stop")});
    }

    void quitEndsTheProgramAndTakesTheIconAway() {
        MainWindowHarness h;
        h.startUp();
        QSignalSpy unloaded(h.window.get(), &CWmain::unloaded);
        QVERIFY(h.tray.choose(QStringLiteral("Quit")));
        QCOMPARE(unloaded.size(), 1);
        QVERIFY(h.log.contains(QStringLiteral("NotifyIcon Delete")));
        QVERIFY(!h.tray.shown);
        QVERIFY(!h.window->isVisible());
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
