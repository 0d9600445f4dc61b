// Where the genie stands and how he moves among the program's windows, on private X servers of the screen
// sizes people use, each managed by openbox: beside the main window at start-up, never dragged off the
// screen, his balloon at his side after a drag, and below Help and About when they open over him.
#include "DesktopDriver.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QtTest>

using namespace cw::test;

namespace {

// The geometry of a window with the frame the window manager gave it (its _NET_FRAME_EXTENTS: left, right,
// top, bottom).
QRect frameGeometry(const QString& window) {
    const QString extents = DesktopDriver::run(
        QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")});
    const qsizetype equals = extents.indexOf(QLatin1Char('='));
    const QStringList sides = equals < 0 ? QStringList() : extents.mid(equals + 1).split(QLatin1Char(','));
    const QRect client = DesktopDriver::geometry(window);
    if (sides.size() != 4) {
        return client;
    }
    return client.adjusted(-sides[0].trimmed().toInt(), -sides[2].trimmed().toInt(),
                           sides[1].trimmed().toInt(), sides[3].trimmed().toInt());
}

// The managed windows from the bottom of the stack to its top, as the window manager keeps them.
QList<quint64> stackingOrder() {
    const QString list = DesktopDriver::run(
        QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    QList<quint64> windows;
    const qsizetype hash = list.indexOf(QLatin1Char('#'));
    if (hash < 0) {
        return windows;
    }
    for (const QString& id : list.mid(hash + 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        windows.append(id.trimmed().toULongLong(nullptr, 16));
    }
    return windows;
}

// Whether `upper` is stacked above `lower` (both managed).
bool stackedAbove(const QString& upper, const QString& lower) {
    const QList<quint64> order = stackingOrder();
    const qsizetype up = order.indexOf(upper.toULongLong());
    const qsizetype low = order.indexOf(lower.toULongLong());
    return up >= 0 && low >= 0 && up > low;
}

double shareOn(const QRect& frame, const QRect& area) {
    const QRect on = frame.intersected(area);
    return on.isEmpty() ? 0.0 : double(on.width()) * on.height() / (double(frame.width()) * frame.height());
}

// The balloon's window touches the genie's frame on one side, where its tail's tip is, alongside him.
bool balloonAtHisSide(const QRect& balloon, const QRect& genie) {
    const bool alongX = balloon.left() <= genie.right() && balloon.right() >= genie.left();
    const bool alongY = balloon.top() <= genie.bottom() && balloon.bottom() >= genie.top();
    return (balloon.bottom() == genie.top() - 1 && alongX) ||
           (balloon.top() == genie.bottom() + 1 && alongX) ||
           (balloon.left() == genie.right() + 1 && alongY) || (balloon.right() == genie.left() - 1 && alongY);
}

void mouse(const QStringList& steps) {
    DesktopDriver::run(QStringLiteral("xdotool"), steps);
}

// A private X server of one size with openbox managing it; the tools this test runs use it while it lives.
class PrivateDesktop {
public:
    bool start(QSize size) {
        for (int n = 200; n < 300 && display_.isEmpty(); ++n) {
            if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) &&
                !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
                display_ = QStringLiteral(":%1").arg(n);
            }
        }
        if (display_.isEmpty()) {
            return false;
        }
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start(QStringLiteral("Xvfb"),
                      {display_, QStringLiteral("-screen"), QStringLiteral("0"),
                       QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                       QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server_.waitForStarted()) {
            return false;
        }
        previous_ = qgetenv("DISPLAY");
        qputenv("DISPLAY", display_.toUtf8());
        if (!QTest::qWaitFor([] { return !DesktopDriver::run(QStringLiteral("xdpyinfo"), {}).isEmpty(); },
                             10000)) {
            return false;
        }
        windowManager_.setStandardOutputFile(QProcess::nullDevice());
        windowManager_.setStandardErrorFile(QProcess::nullDevice());
        windowManager_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!windowManager_.waitForStarted()) {
            return false;
        }
        return QTest::qWaitFor(
            [] {
                return !DesktopDriver::run(
                            QStringLiteral("xprop"),
                            {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                            .contains(QLatin1String("not found"));
            },
            10000);
    }
    ~PrivateDesktop() {
        for (QProcess* process : {&windowManager_, &server_}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(3000)) {
                    process->kill();
                    process->waitForFinished();
                }
            }
        }
        if (!display_.isEmpty()) {
            qputenv("DISPLAY", previous_);
        }
    }

private:
    QString display_;
    QByteArray previous_;
    QProcess server_;
    QProcess windowManager_;
};

// The program started on the current display, with its main window up and the genie arrived at his place.
struct Program {
    QProcess process;
    ProgramTrace trace{process};
    QString mainWindow;
    QString genie;

    bool start() {
        const auto window =
            DesktopDriver::startProgram(process, QStringLiteral(CW_PROGRAM_PATH), ProgramTrace::channels());
        if (!window) {
            return false;
        }
        mainWindow = *window;
        // The window manager has framed the main window once it has marked it as its own.
        if (!QTest::qWaitFor(
                [this] {
                    return DesktopDriver::run(QStringLiteral("xprop"),
                                              {QStringLiteral("-id"), mainWindow, QStringLiteral("WM_STATE")})
                        .contains(QLatin1String("window state:"));
                },
                10000)) {
            return false;
        }
        if (!trace.waitFor(QStringLiteral("finished MoveTo \\d+"), 0, 15000)) {
            return false;
        }
        const QStringList genies =
            DesktopDriver::windowsNamed(QStringLiteral("^Genie$"), process.processId());
        if (genies.size() != 1) {
            return false;
        }
        genie = genies.front();
        return true;
    }
    ~Program() { DesktopDriver::endProgram(process); }
};

QRect screenOf(QSize size) {
    return {QPoint(), size};
}

} // namespace

class PlacementTest : public QObject {
    Q_OBJECT
private:
    const QString screenshots = QStringLiteral(CW_SCREENSHOT_DIR);
    const QSize laptop{1366, 768};

    // Drags the genie, held by the middle of his frame, until the pointer is at `to`.
    static void dragGenie(const QRect& genie, QPoint to) {
        const QPoint from = genie.center();
        const QPoint half = (from + to) / 2;
        mouse({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
               QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
               QString::number(half.x()), QString::number(half.y()), QStringLiteral("mousemove"),
               QString::number(to.x()), QString::number(to.y()), QStringLiteral("mouseup"),
               QStringLiteral("1")});
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs the headless desktop of tools/headless.sh");
        }
        if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
            QSKIP("needs Xvfb and openbox");
        }
        QDir().mkpath(screenshots);
    }

    void theGenieStandsBesideTheMainWindow_data() {
        QTest::addColumn<QSize>("screen");
        for (const QSize size : {QSize(1024, 768), QSize(1366, 768), QSize(1920, 1080), QSize(2560, 1440)}) {
            QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()))) << size;
        }
    }
    void theGenieStandsBesideTheMainWindow() {
        QFETCH(QSize, screen);
        PrivateDesktop desktop;
        QVERIFY2(desktop.start(screen), "no private X server with openbox");
        Program program;
        QVERIFY2(program.start(), "the program did not start or the genie did not arrive");
        const QRect main = frameGeometry(program.mainWindow);
        const QRect genie = frameGeometry(program.genie);
        QCOMPARE(genie.size(), QSize(200, 220));
        QVERIFY2(!genie.intersects(main),
                 qPrintable(QStringLiteral("genie at %1,%2, main window at %3,%4 %5x%6")
                                .arg(genie.x())
                                .arg(genie.y())
                                .arg(main.x())
                                .arg(main.y())
                                .arg(main.width())
                                .arg(main.height())));
        QVERIFY(screenOf(screen).contains(genie));
        // Beside it, level with its lower half.
        QVERIFY(genie.left() > main.right() || genie.right() < main.left());
        QVERIFY(genie.top() <= main.bottom() && genie.bottom() >= main.center().y());
        QVERIFY(DesktopDriver::screenshot(
            QStringLiteral("root"),
            screenshots + QStringLiteral("/placement-%1x%2.png").arg(screen.width()).arg(screen.height())));
    }

    void aDraggedGenieStaysOnScreenWithHisBalloon() {
        PrivateDesktop desktop;
        QVERIFY2(desktop.start(laptop), "no private X server with openbox");
        Program program;
        QVERIFY2(program.start(), "the program did not start or the genie did not arrive");
        // Held by his middle and dragged into the top-left corner, then the bottom-right one: at least half
        // of him stays on the screen each time.
        for (const QPoint corner : {QPoint(0, 0), QPoint(laptop.width() - 1, laptop.height() - 1)}) {
            const QRect before = DesktopDriver::geometry(program.genie);
            dragGenie(before, corner);
            QTRY_VERIFY_WITH_TIMEOUT(DesktopDriver::geometry(program.genie) != before, 5000);
            const QRect after = DesktopDriver::geometry(program.genie);
            QVERIFY2(shareOn(after, screenOf(laptop)) > 0.5,
                     qPrintable(QStringLiteral("dragged to %1,%2").arg(after.x()).arg(after.y())));
        }
        // Dragged back near the middle, then asked to speak: the balloon comes out at his side, on the
        // screen.
        dragGenie(DesktopDriver::geometry(program.genie), QPoint(900, 500));
        QTRY_VERIFY_WITH_TIMEOUT(DesktopDriver::geometry(program.genie).center() == QPoint(900, 500), 5000);
        const QRect genie = DesktopDriver::geometry(program.genie);
        const qsizetype mark = program.trace.mark();
        DesktopDriver::sendKeys(program.mainWindow, {QStringLiteral("alt+s")});
        QVERIFY(program.trace.waitFor(QStringLiteral("balloon updated"), mark, 10000));
        const auto balloon = DesktopDriver::waitForWindow(
            QStringLiteral("^Speech balloon$"), [](const QString&) { return true; }, 5000,
            program.process.processId());
        QVERIFY2(balloon, "no balloon appeared");
        const QRect bubble = DesktopDriver::geometry(*balloon);
        QVERIFY2(balloonAtHisSide(bubble, genie), qPrintable(QStringLiteral("balloon at %1,%2 %3x%4")
                                                                 .arg(bubble.x())
                                                                 .arg(bubble.y())
                                                                 .arg(bubble.width())
                                                                 .arg(bubble.height())));
        QVERIFY(screenOf(laptop).contains(bubble));
        QVERIFY(DesktopDriver::screenshot(QStringLiteral("root"),
                                          screenshots + QStringLiteral("/balloon-after-drag.png")));
    }

    void helpAndAboutOpenAboveHim() {
        PrivateDesktop desktop;
        QVERIFY2(desktop.start(laptop), "no private X server with openbox");
        Program program;
        QVERIFY2(program.start(), "the program did not start or the genie did not arrive");
        // He stands over the main window, where its dialogs open.
        const QRect main = frameGeometry(program.mainWindow);
        dragGenie(DesktopDriver::geometry(program.genie), main.center());
        QTRY_VERIFY_WITH_TIMEOUT(DesktopDriver::geometry(program.genie).center() == main.center(), 5000);
        QVERIFY(stackedAbove(program.genie, program.mainWindow));

        const struct {
            const char* keys;
            const char* title;
        } dialogs[] = {{"alt+a", "^About Chatterwisp$"}, {"alt+e", "^Chatterwisp Help$"}};
        for (const auto& dialog : dialogs) {
            DesktopDriver::sendKeys(program.mainWindow, {QString::fromLatin1(dialog.keys)});
            const auto opened = DesktopDriver::waitForWindow(
                QString::fromLatin1(dialog.title), [](const QString&) { return true; }, 5000,
                program.process.processId());
            QVERIFY2(opened, dialog.title);
            QVERIFY(frameGeometry(*opened).intersects(DesktopDriver::geometry(program.genie)));
            QTRY_VERIFY_WITH_TIMEOUT(stackedAbove(*opened, program.genie), 5000);
            DesktopDriver::sendKeys(*opened, {QStringLiteral("Escape")});
            QTRY_VERIFY_WITH_TIMEOUT(
                DesktopDriver::windowsNamed(QString::fromLatin1(dialog.title), program.process.processId())
                    .isEmpty(),
                5000);
            // Back with the main window he is above it again.
            QTRY_VERIFY_WITH_TIMEOUT(stackedAbove(program.genie, program.mainWindow), 5000);
        }
    }
};

QTEST_GUILESS_MAIN(PlacementTest)
#include "tst_placement.moc"
