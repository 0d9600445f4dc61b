// Windows on a small screen: Help, About and the message boxes open within the screen's available area, with
// every button on it. Runs on an offscreen screen of 640 x 480.
#include "FakeRegistry.h"
#include "RecordingMessageBoxes.h"
#include "RecordingShell.h"
#include "RecordingWindowSkin.h"
#include "about/AboutWindowKeeper.h"
#include "about/HelpWindow.h"
#include "about/frmAbout.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/WindowFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace cw;

namespace {

const QSize kSmallScreen(640, 480);

/// Whether every visible button of `window` lies wholly on the screen's available area.
bool buttonsOnScreen(QWidget* window, QString* offScreen) {
    const QRect available = window->screen()->availableGeometry();
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) {
            continue;
        }
        const QRect global(button->mapToGlobal(QPoint(0, 0)), button->size());
        if (!available.contains(global)) {
            *offScreen = QStringLiteral("%1 at %2,%3 %4x%5")
                             .arg(button->text())
                             .arg(global.x())
                             .arg(global.y())
                             .arg(global.width())
                             .arg(global.height());
            return false;
        }
    }
    return true;
}

} // namespace

class TestWindowFit : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> owner;

private slots:
    void init() {
        owner = std::make_unique<QWidget>();
        owner->setGeometry(20, 20, 309, 271);
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
    }
    void cleanup() { owner.reset(); }

    void theScreenIsSmall() {
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), kSmallScreen);
    }

    void sizesShrinkToTheRoomButNotBelowTheMinimum_data() {
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("fits already") << QSize(400, 300) << QSize() << QSize(400, 300);
        QTest::newRow("too tall") << QSize(540, 600) << QSize() << QSize(540, 440);
        QTest::newRow("too wide and tall") << QSize(900, 900) << QSize() << QSize(624, 440);
        QTest::newRow("minimum wins") << QSize(540, 600) << QSize(100, 460) << QSize(540, 460);
    }
    void sizesShrinkToTheRoomButNotBelowTheMinimum() {
        QFETCH(QSize, wanted);
        QFETCH(QSize, minimum);
        QFETCH(QSize, fitted);
        QCOMPARE(
            fittedSize(wanted, minimum.isValid() ? minimum : QSize(0, 0), QRect(QPoint(0, 0), kSmallScreen)),
            fitted);
    }

    void framesMoveInsideTheScreenTheLeastDistance_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("centre");
        QTest::addColumn<QRect>("frame");
        QTest::newRow("centred where it fits")
            << QSize(200, 100) << QPoint(320, 240) << QRect(213, 159, 216, 140);
        QTest::newRow("past the bottom right")
            << QSize(376, 252) << QPoint(600, 450) << QRect(248, 188, 392, 292);
        QTest::newRow("past the top left") << QSize(376, 252) << QPoint(10, 10) << QRect(0, 0, 392, 292);
        QTest::newRow("as large as the screen")
            << QSize(624, 440) << QPoint(600, 400) << QRect(0, 0, 640, 480);
    }
    void framesMoveInsideTheScreenTheLeastDistance() {
        QFETCH(QSize, size);
        QFETCH(QPoint, centre);
        QFETCH(QRect, frame);
        QCOMPARE(placedFrame(QRect(QPoint(0, 0), kSmallScreen), size, centre), frame);
    }

    void helpFitsWithItsCloseButtonOnScreen() {
        HelpWindowKeeper keeper;
        keeper.show(owner.get());
        QPointer<HelpWindow> help = keeper.window();
        QVERIFY(help);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        const QRect available = help->screen()->availableGeometry();
        QVERIFY2(available.contains(help->frameGeometry()), "the Help window leaves the screen");
        auto* close = help->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close);
        QVERIFY(close && close->isVisible());
        QString offScreen;
        QVERIFY2(buttonsOnScreen(help, &offScreen), qPrintable(offScreen));
        // Still a useful size: the text is not squeezed to nothing.
        QVERIFY(help->height() >= available.height() / 2);
    }

    void helpOpensOnScreenEvenWhenTheMainWindowIsAtTheEdge() {
        owner->move(500, 380);
        HelpWindowKeeper keeper;
        keeper.show(owner.get());
        QPointer<HelpWindow> help = keeper.window();
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QString offScreen;
        QVERIFY2(buttonsOnScreen(help, &offScreen), qPrintable(offScreen));
    }

    void aboutFitsWithItsButtonsOnScreen() {
        owner->move(500, 380);
        test::RecordingShell shell;
        test::RecordingMessageBoxes messages;
        test::FakeRegistry registry;
        test::RecordingWindowSkin skin;
        AboutWindowKeeper keeper({shell, messages, registry, skin},
                                 AppIdentity{QStringLiteral("Chatterwisp"), 1, 0, 16});
        keeper.show(owner.get());
        QPointer<frmAbout> about = keeper.window();
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QVERIFY2(about->screen()->availableGeometry().contains(about->frameGeometry()),
                 qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                .arg(about->frameGeometry().x())
                                .arg(about->frameGeometry().y())
                                .arg(about->frameGeometry().width())
                                .arg(about->frameGeometry().height())));
        QString offScreen;
        QVERIFY2(buttonsOnScreen(about, &offScreen), qPrintable(offScreen));
    }

    void aMessageBoxWithALongTextFitsWithItsButtonOnScreen() {
        QString text = QStringLiteral("The character \"Genie\" could not be loaded from \"genie.acs\".");
        for (int i = 0; i < 8; ++i) {
            text += QStringLiteral(" Looked in: /usr/share/chatterwisp/characters/genie.acs, "
                                   "/home/someone/.local/share/chatterwisp/genie.acs.");
        }
        bool checked = false;
        QString offScreen;
        bool onScreen = false;
        // The box is modal: look at it from the event loop it runs, then close it.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible() || checked) {
                return;
            }
            checked = true;
            onScreen = box->screen()->availableGeometry().contains(box->frameGeometry()) &&
                       buttonsOnScreen(box, &offScreen);
            box->accept();
        });
        poll.start(10);
        QtMessageBoxes boxes;
        boxes.show(text, MessageIcon::None, QString());
        QVERIFY(checked);
        QVERIFY2(onScreen, qPrintable(offScreen));
    }
};

int main(int argc, char** argv) {
    // An offscreen screen of 640 x 480, set up before the application starts.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    {
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 640, "height": 480,
                           "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0) {
            qFatal("cannot write %s", qPrintable(config));
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    TestWindowFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WindowFit.moc"
