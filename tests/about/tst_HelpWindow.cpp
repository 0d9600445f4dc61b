// The Help window: one at a time, modeless above the main window, and covering what a user needs.
#include "about/HelpWindow.h"

#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <memory>

using namespace cw;

class TestHelpWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> owner;

private slots:
    void init() {
        owner = std::make_unique<QWidget>();
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
    }
    void cleanup() { owner.reset(); }

    void oneModelessWindowAboveTheMainWindow() {
        HelpWindowKeeper keeper;
        keeper.show(owner.get());
        QPointer<HelpWindow> help = keeper.window();
        QVERIFY(help);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QCOMPARE(help->windowTitle(), QStringLiteral("Chatterwisp Help"));
        QCOMPARE(help->parentWidget(), owner.get());
        QVERIFY(!help->isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);

        keeper.show(owner.get());
        QCOMPARE(keeper.window(), help.data());
        QCOMPARE(owner->findChildren<HelpWindow*>().size(), 1);
    }

    void closingAndShowingAgainMakesANewWindow() {
        HelpWindowKeeper keeper;
        keeper.show(owner.get());
        QPointer<HelpWindow> first = keeper.window();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        QTest::keyClick(first, Qt::Key_Escape);
        QCOMPARE(keeper.window(), nullptr);

        keeper.show(owner.get());
        QVERIFY(keeper.window() != nullptr);
        QVERIFY(keeper.window() != first.data());
        QTRY_VERIFY(first.isNull());
        QCOMPARE(owner->findChildren<HelpWindow*>().size(), 1);
    }

    void enterOnTheFocusedCloseButtonClosesTheWindow() {
        HelpWindowKeeper keeper;
        keeper.show(owner.get());
        QPointer<HelpWindow> help = keeper.window();
        QVERIFY(QTest::qWaitForWindowExposed(help));
        auto* close = help->findChild<QPushButton*>();
        QVERIFY(close);
        close->setFocus();
        QTest::keyClick(close, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(keeper.window(), nullptr);
        QTRY_VERIFY(help.isNull());
    }

    void explainsEveryFeature_data() {
        QTest::addColumn<QString>("needle");
        for (const char* text : {"Say it!",
                                 "Alt+S",
                                 "Alt+T",
                                 "Alt+C",
                                 "Alt+H",
                                 "Alt+W",
                                 "Alt+A",
                                 "Alt+E",
                                 "Alt+P",
                                 "hertz",
                                 "words per minute",
                                 "every 2 seconds",
                                 "Clear All",
                                 "notification area",
                                 "\\Pit=200\\",
                                 "\\Spd=250\\",
                                 "\\Vol=20000\\",
                                 "65535",
                                 "\\Chr=\"Whisper\"\\",
                                 "\"Monotone\"",
                                 "\\Pau=1000\\",
                                 "\\Emp\\",
                                 "\\Rst\\",
                                 "\\Map=\"Doctor Smith\"=\"Dr. Smith\"\\",
                                 "\\Mrk=1\\",
                                 "\\Ctx=\"E-mail\"\\",
                                 "\"Address\"",
                                 "\\Lst\\"}) {
            QTest::newRow(text) << QString::fromUtf8(text);
        }
        // Every preset's pair of values, as one row of the table.
        QTest::newRow("preset 1") << "1\t60\t100";
        QTest::newRow("preset 2") << "2\t50\t350";
        QTest::newRow("preset 3") << "3\t200\t250";
        QTest::newRow("preset 4") << "4\t300\t50";
    }
    void explainsEveryFeature() {
        QFETCH(QString, needle);
        HelpWindow help(owner.get());
        const auto* browser = help.findChild<QTextBrowser*>();
        QVERIFY(browser != nullptr);
        QString plain = browser->toPlainText();
        // Table cells come out one per line; put each row back on one line.
        plain.replace(QRegularExpression(QStringLiteral("\n(?=\\d)")), QStringLiteral("\t"));
        QVERIFY2(plain.contains(needle), qPrintable(needle));
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_HelpWindow.moc"
