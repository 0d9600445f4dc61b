// The real program on a real X server with a PulseAudio null sink and a tray host: the genie's window, the
// tray icon bringing the main window back, and the About window by its access key.
#include "DesktopDriver.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace cw::test;

namespace {
bool isViewable(const QString& window) {
    return DesktopDriver::run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window})
        .contains(QLatin1String("IsViewable"));
}
// Takes the window's picture once it has stopped changing: two pictures in a row alike, or the last of 40.
bool settledScreenshot(const QString& window, const QString& file) {
    QByteArray previous;
    for (int shot = 0; shot < 40; ++shot) {
        if (!DesktopDriver::screenshot(window, file)) {
            return false;
        }
        QFile picture(file);
        if (!picture.open(QIODevice::ReadOnly)) {
            return false;
        }
        const QByteArray current = picture.readAll();
        if (current == previous) {
            break;
        }
        previous = current;
    }
    return true;
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private:
    const QString program = QStringLiteral(CW_PROGRAM_PATH);
    const QString screenshots = QStringLiteral(CW_SCREENSHOT_DIR);
    QProcess process;
    ProgramTrace trace{process};
    QString mainWindow;

    qint64 pid() const { return process.processId(); }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs an X server: run inside tools/headless.sh");
        }
        QDir().mkpath(screenshots);
        const auto window = DesktopDriver::startProgram(process, program, ProgramTrace::channels());
        QVERIFY2(window, "the main window did not appear");
        mainWindow = *window;
    }

    void cleanupTestCase() { DesktopDriver::endProgram(process); }

    void theGenieArrivesAtHisPlace() {
        // He swirls in, then floats beside the main window, clear of it; his frame is 200 x 220.
        QVERIFY2(trace.waitFor(QStringLiteral("finished MoveTo \\d+"), 0, 10000), "the genie did not arrive");
        const QStringList genies = DesktopDriver::windowsNamed(QStringLiteral("^Genie$"), pid());
        QCOMPARE(genies.size(), 1);
        const auto genie = genies.front();
        const QRect place = DesktopDriver::geometry(genie);
        QCOMPARE(place.size(), QSize(200, 220));
        QVERIFY(!place.intersects(DesktopDriver::geometry(mainWindow)));
        QVERIFY(QRect(0, 0, 1280, 800).contains(place));
        QVERIFY(settledScreenshot(genie, screenshots + QStringLiteral("/genie.png"))); // the greeting is over
        QVERIFY(DesktopDriver::screenshot(mainWindow, screenshots + QStringLiteral("/main-window.png")));
        QVERIFY(
            DesktopDriver::screenshot(QStringLiteral("root"), screenshots + QStringLiteral("/desktop.png")));
    }

    void altAOpensTheAboutWindowAndEscClosesIt() {
        DesktopDriver::sendKeys(mainWindow, {QStringLiteral("alt+a")});
        const auto about = DesktopDriver::waitForWindow(
            QStringLiteral("^About Chatterwisp$"),
            [](const QString& w) { return DesktopDriver::geometry(w).size() == QSize(376, 252); }, 5000,
            pid());
        QVERIFY2(about, "Alt+A did not open the About window at its size");
        QVERIFY(settledScreenshot(*about, screenshots + QStringLiteral("/about.png")));
        DesktopDriver::sendKeys(*about, {QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(
            DesktopDriver::windowsNamed(QStringLiteral("^About Chatterwisp$"), pid()).isEmpty(), 5000);
        QVERIFY(process.state() == QProcess::Running);
    }

    void aClickOnTheTrayIconRestoresTheMinimisedWindow() {
        // The tray host embeds the icon as a small window of the program's.
        const auto icon = DesktopDriver::waitForWindow(
            QString(), [](const QString& w) { return DesktopDriver::geometry(w).width() <= 64; }, 5000,
            pid());
        QVERIFY2(icon, "no tray icon appeared");

        // Minimising needs a window manager; this test brings its own.
        QProcess windowManager;
        windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!windowManager.waitForStarted()) {
            QSKIP("openbox is not installed");
        }
        auto stopWindowManager = qScopeGuard([&windowManager] {
            windowManager.terminate();
            windowManager.waitForFinished(3000);
        });
        // A window manager announces itself on the root window once it runs.
        QTRY_VERIFY_WITH_TIMEOUT(
            !DesktopDriver::run(QStringLiteral("xprop"),
                                {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                 .contains(QLatin1String("not found")),
            10000);
        // It announces itself before it has taken over the windows already open, and a request to minimise a
        // window it does not manage yet is lost: wait until it has marked the main window as its own.
        QTRY_VERIFY_WITH_TIMEOUT(
            DesktopDriver::run(QStringLiteral("xprop"),
                               {QStringLiteral("-id"), mainWindow, QStringLiteral("WM_STATE")})
                .contains(QLatin1String("window state:")),
            10000);
        DesktopDriver::run(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), mainWindow});
        QTRY_VERIFY_WITH_TIMEOUT(!isViewable(mainWindow), 5000);

        const QRect iconRect = DesktopDriver::geometry(*icon);
        DesktopDriver::click(*icon, QPoint(iconRect.width() / 2, iconRect.height() / 2));
        QTRY_VERIFY_WITH_TIMEOUT(isViewable(mainWindow), 5000);
    }
};

QTEST_GUILESS_MAIN(DesktopTest)
#include "tst_desktop.moc"
