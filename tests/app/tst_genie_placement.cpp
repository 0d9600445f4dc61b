// Where the genie first stands: beside the centred main window on every screen size, never over it and never
// off the screen's available area.
#include "app/GeniePlacement.h"

#include <QtTest>

using namespace cw;

namespace {

const QSize kGenie(200, 220);
const QSize kMainClient(309, 271);
// The window manager's frame around the main window: a title bar and thin borders, as openbox draws them.
const QMargins kDecoration(1, 21, 1, 1);

// The main window's frame, centred on the area as the program places it.
QRect centredMainFrame(const QRect& available) {
    const QRect client(available.center() - QRect(QPoint(), kMainClient).center(), kMainClient);
    return client.marginsAdded(kDecoration);
}

// Level with the main window's lower half, next to its left or right side, within a frame border or two.
bool besideLowerHalf(const QRect& genie, const QRect& main) {
    const bool level = genie.top() <= main.bottom() && genie.bottom() >= main.center().y() &&
                       genie.top() >= main.top() + main.height() / 4;
    const int rightGap = genie.left() - main.right() - 1;
    const int leftGap = main.left() - genie.right() - 1;
    return level && ((rightGap >= 0 && rightGap <= 40) || (leftGap >= 0 && leftGap <= 40));
}

} // namespace

class GeniePlacementTest : public QObject {
    Q_OBJECT
private slots:
    void besideTheCentredMainWindow_data() {
        QTest::addColumn<QRect>("available");
        // A bottom panel as the test desktop's tray host makes, and a bare screen, at each size.
        for (const QSize screen :
             {QSize(1024, 768), QSize(1280, 800), QSize(1366, 768), QSize(1920, 1080), QSize(2560, 1440)}) {
            const QByteArray name =
                QByteArray::number(screen.width()) + 'x' + QByteArray::number(screen.height());
            QTest::newRow(name + " bare") << QRect(QPoint(), screen);
            QTest::newRow(name + " panel") << QRect(QPoint(), screen - QSize(0, 32));
        }
        QTest::newRow("second screen right of the first") << QRect(1920, 0, 1366, 768);
        QTest::newRow("second screen above the first") << QRect(0, -1080, 1920, 1080);
    }
    void besideTheCentredMainWindow() {
        QFETCH(QRect, available);
        const QRect main = centredMainFrame(available);
        const QRect genie(genieStartPoint(available, main, kGenie), kGenie);
        QVERIFY2(
            !genie.intersects(main),
            qPrintable(QStringLiteral("genie %1,%2 over the main window").arg(genie.x()).arg(genie.y())));
        QVERIFY(available.contains(genie));
        QVERIFY(besideLowerHalf(genie, main));
        QVERIFY(genie.left() > main.right()); // the right has room on all of these
    }

    void theClassicPointStaysWhereItFits() {
        // On the screen the layout was drawn for he stands exactly where he always stood.
        const QRect available(0, 0, 1024, 768);
        QCOMPARE(genieStartPoint(available, centredMainFrame(available), kGenie), QPoint(676, 385));
        // Far from a main window elsewhere on a big screen, the classic point is not beside it: not kept.
        const QRect wide(0, 0, 2560, 1440);
        QVERIFY(genieStartPoint(wide, centredMainFrame(wide), kGenie) != QPoint(676, 385));
    }

    void toTheLeftWhereTheRightHasNoRoom() {
        const QRect available(0, 0, 1366, 768);
        const QRect main(QPoint(1366 - 320, 300), QSize(311, 293));
        const QRect genie(genieStartPoint(available, main, kGenie), kGenie);
        QVERIFY(genie.right() < main.left());
        QVERIFY(available.contains(genie));
        QVERIFY(besideLowerHalf(genie, main));
    }

    void keptOnTheAreaNearItsBottom() {
        // The main window low on the screen: he rises to stay on the area, still clear of the window.
        const QRect available(0, 0, 1366, 768);
        const QRect main(QPoint(300, 768 - 293), QSize(311, 293));
        const QRect genie(genieStartPoint(available, main, kGenie), kGenie);
        QVERIFY(available.contains(genie));
        QVERIFY(!genie.intersects(main));
        QCOMPARE(genie.bottom(), available.bottom());
    }

    void onTheAreaWhenNeitherSideHasRoom() {
        // A screen barely wider than the main window: overlap cannot be avoided, leaving the screen can.
        const QRect available(0, 0, 500, 600);
        const QRect main(QPoint(90, 150), QSize(311, 293));
        const QRect genie(genieStartPoint(available, main, kGenie), kGenie);
        QVERIFY(available.contains(genie));
    }
};

QTEST_APPLESS_MAIN(GeniePlacementTest)
#include "tst_genie_placement.moc"
