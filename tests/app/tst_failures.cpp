// A failing handler: it stops at the failing step, and the program reports once and ends with status 1, from
// the event loop, without any exception passing through Qt.
#include "MainWindowHarness.h"
#include "app/Application.h"
#include "app/FailureReport.h"
#include "core/Failure.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>

using namespace cw;
using namespace cw::test;

namespace {

// An object whose event handler lets a failure escape, as a handler written by mistake would.
class LeakyHandler : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw Failure(QStringLiteral("escaped on purpose"));
        }
        return QObject::event(event);
    }
};

// The program's wiring of the failure path, around a main window on recording fakes.
struct FailingProgram {
    explicit FailingProgram(Application& app) : path(h.messageBoxes, h.tray, h.window->state().TrayIconData) {
        QObject::connect(h.window.get(), &CWmain::failed, &path, &FailurePath::fail);
        app.setFailureHandler([this](const QString& reason) { path.fail(reason); });
        h.startUp();
    }
    ~FailingProgram() { qobject_cast<Application*>(QCoreApplication::instance())->setFailureHandler({}); }

    /// Runs the event loop until the program ends, as main() does; a watchdog ends a loop that never would.
    static int runEventLoop() {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(10'000);
        return QApplication::exec();
    }

    MainWindowHarness h;
    FailurePath path;
};

} // namespace

class FailuresTest : public QObject {
    Q_OBJECT
public:
    explicit FailuresTest(Application& app) : app_(app) {}

private slots:
    void aFailingCharacterCallReportsOnceAndEndsWithStatusOne() {
        FailingProgram program(app_);
        const int caughtBefore = app_.lastResortCatches();
        program.h.character().failingAnimations.insert(QStringLiteral("DoMagic2"));

        program.h.window->TextBox->setPlainText(QStringLiteral("some text"));
        QTest::mouseClick(program.h.window->cmdClear, Qt::LeftButton); // a real click through Qt
        // The handler stopped at the failing step; nothing is reported before the event loop runs.
        QCOMPARE(program.h.window->TextBox->toPlainText(), QString());
        QVERIFY(!program.h.log.contains(QStringLiteral("Play RestPose")));
        QVERIFY(program.path.failed());
        QVERIFY(program.h.messageBoxes.shown.isEmpty());

        QCOMPARE(FailingProgram::runEventLoop(), 1);
        QCOMPARE(program.h.messageBoxes.shown.size(), 1);
        QCOMPARE(program.h.messageBoxes.shown.first().icon, MessageIcon::Critical);
        QCOMPARE(program.h.messageBoxes.shown.first().title, QStringLiteral("Chatterwisp"));
        QVERIFY(program.h.messageBoxes.shown.first().text.contains(QStringLiteral("DoMagic2")));
        QCOMPARE(program.h.log.last(), QStringLiteral("NotifyIcon Delete"));
        QCOMPARE(app_.lastResortCatches(), caughtBefore); // the normal route never reaches notify()'s catch
    }

    void twoFailuresInOneTurnMakeOneReport() {
        FailingProgram program(app_);
        program.h.character().failingAnimations = {QStringLiteral("DoMagic2"),
                                                   QStringLiteral("Congratulate_2")};
        program.h.window->cmdClear->click();
        program.h.window->cmdAbout->click();
        QVERIFY(program.h.messageBoxes.shown.isEmpty());

        QCOMPARE(FailingProgram::runEventLoop(), 1);
        QCOMPARE(program.h.messageBoxes.shown.size(), 1);
        QVERIFY(program.h.messageBoxes.shown.first().text.contains(QStringLiteral("DoMagic2")));
        QCOMPARE(program.h.log.count(QStringLiteral("NotifyIcon Delete")), 1);
    }

    void aFailureOnTheTrayPathIsReportedTheSameWay() {
        FailingProgram program(app_);
        program.h.window->showMinimized();
        program.h.tray.send(TrayEvent::LeftPress);
        program.h.window->state().Character = nullptr; // what a character lost after start-up looks like
        program.h.tray.send(TrayEvent::LeftRelease);
        QCOMPARE(FailingProgram::runEventLoop(), 1);
        QCOMPARE(program.h.messageBoxes.shown.size(), 1);
        QCOMPARE(program.h.log.last(), QStringLiteral("NotifyIcon Delete"));
    }

    void aFailureThatEscapesAHandlerIsCaughtAsALastResort() {
        FailingProgram program(app_);
        const int caughtBefore = app_.lastResortCatches();
        LeakyHandler leaky;
        QCoreApplication::postEvent(&leaky, new QEvent(QEvent::User));

        QCOMPARE(FailingProgram::runEventLoop(), 1);
        QCOMPARE(app_.lastResortCatches(), caughtBefore + 1);
        QCOMPARE(program.h.messageBoxes.shown.size(), 1);
        QVERIFY(program.h.messageBoxes.shown.first().text.contains(QStringLiteral("escaped on purpose")));
    }

private:
    Application& app_;
};

int main(int argc, char** argv) {
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chatterwisp"));
    FailuresTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_failures.moc"
