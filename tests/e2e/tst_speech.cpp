// Speech through the real program: typed text spoken with the fields' pitch, Stop (also while Ctrl+V waits on
// a clipboard owner that no longer answers), clipboard monitoring, and a clipboard owner that no longer
// answers. Recorded from the PulseAudio null sink of the headless desktop.
#include "../tts/AudioAnalysis.h"
#include "DesktopDriver.h"
#include "SinkRecorder.h"

#include <QtTest>
#include <csignal>
#include <cstring>
#include <xcb/xcb.h>

using namespace cw::test;
using cw::tts::test::medianPitchHz;

namespace {
// Points of the main window, in window coordinates, left of where the genie stands.
const QPoint kTextBox{60, 60};
const QPoint kSayIt{29, 248};
const QPoint kStop{73, 248};
const QPoint kSpeedField{126, 185};
const QString kSentence =
    QStringLiteral("Hello there, this is the genie reading your words aloud for everyone.");
// Owns the X clipboard with a text, through xclip, while it lives; freeze() makes it stop answering, as a
// hung program does.
class XclipOwner {
public:
    explicit XclipOwner(const QByteArray& text) {
        process_.start(QStringLiteral("xclip"),
                       {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-quiet")});
        if (process_.waitForStarted()) {
            process_.write(text);
            process_.closeWriteChannel();
        }
    }
    ~XclipOwner() { end(); }
    bool started() const { return process_.state() == QProcess::Running; }
    void freeze() { ::kill(static_cast<pid_t>(process_.processId()), SIGSTOP); }
    void end() {
        if (process_.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process_.processId()), SIGCONT);
            process_.kill();
            process_.waitForFinished();
        }
    }

private:
    QProcess process_;
};

} // namespace

class SpeechTest : public QObject {
    Q_OBJECT
private:
    const QString program = QStringLiteral(CW_PROGRAM_PATH);
    QProcess process;
    ProgramTrace trace{process};
    QString mainWindow;
    SinkRecorder recorder;
    int currentPreset = 1;

    void typeIntoTextBox(const QString& text) {
        DesktopDriver::click(mainWindow, kTextBox);
        DesktopDriver::sendKeys(mainWindow, {QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
        DesktopDriver::run(QStringLiteral("xdotool"),
                           {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), text});
    }
    // Chooses preset 1 to 4 from the keyboard: the speed field, Tab to the selected preset, then arrows.
    void choosePreset(int number) {
        DesktopDriver::click(mainWindow, kSpeedField);
        DesktopDriver::sendKeys(mainWindow, {QStringLiteral("Tab")});
        for (; currentPreset < number; ++currentPreset) {
            DesktopDriver::sendKeys(mainWindow, {QStringLiteral("Right")});
        }
        for (; currentPreset > number; --currentPreset) {
            DesktopDriver::sendKeys(mainWindow, {QStringLiteral("Left")});
        }
    }
    // What the sink plays after a click on Say it: from the first audible sample (the genie may play his
    // gestures first), for `ms` milliseconds or, when `ms` is negative, until a second of silence; empty when
    // nothing became audible.
    std::vector<std::int16_t> sayItAndRecord(int ms) {
        const std::size_t mark = recorder.samples().size();
        DesktopDriver::click(mainWindow, kSayIt);
        QDeadlineTimer deadline(15000);
        std::size_t start = 0;
        while (!deadline.hasExpired()) {
            QTest::qWait(50);
            const std::vector<std::int16_t> heard = recorder.since(mark);
            const auto loud = std::find_if(heard.begin(), heard.end(),
                                           [](std::int16_t s) { return std::abs(int(s)) > 1000; });
            if (loud != heard.end()) {
                start = mark + std::size_t(loud - heard.begin());
                break;
            }
        }
        if (start == 0) {
            return {};
        }
        if (ms >= 0) {
            QTest::qWait(ms);
            return recorder.since(start);
        }
        QDeadlineTimer end(20000);
        while (!end.hasExpired()) {
            QTest::qWait(100);
            const std::vector<std::int16_t> heard = recorder.since(start);
            const std::size_t second = SinkRecorder::kRate;
            if (heard.size() > second &&
                !SinkRecorder::audible(std::vector<std::int16_t>(heard.end() - long(second), heard.end()))) {
                break;
            }
        }
        return recorder.since(start);
    }
    void stopAndSettle() {
        const std::size_t mark = recorder.samples().size();
        DesktopDriver::click(mainWindow, kStop);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.silentFor(mark, 300), 10000);
    }
    QString textBoxText() { return DesktopDriver::copiedText(mainWindow, kTextBox); }
    static QString clipboardText() {
        return DesktopDriver::run(
            QStringLiteral("xclip"),
            {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("CW_NULL_SINK")) {
            QSKIP("needs the headless desktop of tools/headless.sh");
        }
        QVERIFY(recorder.start());
        const auto window = DesktopDriver::startProgram(process, program, ProgramTrace::channels());
        QVERIFY2(window, "the main window did not appear");
        mainWindow = *window;
        // The greeting is over once the genie has floated to his place.
        QVERIFY2(trace.waitFor(QStringLiteral("finished MoveTo \\d+"), 0, 10000),
                 "the genie did not reach his place");
    }
    void cleanupTestCase() { DesktopDriver::endProgram(process); }

    void typedTextIsSpokenWithThePresetsPitch_data() {
        QTest::addColumn<int>("preset");
        QTest::addColumn<double>("hertz");
        QTest::newRow("preset 3: 200 Hz") << 3 << 200.0;
        QTest::newRow("preset 1: 60 Hz") << 1 << 60.0;
    }
    void typedTextIsSpokenWithThePresetsPitch() {
        QFETCH(int, preset);
        QFETCH(double, hertz);
        typeIntoTextBox(kSentence);
        choosePreset(preset);
        const std::vector<std::int16_t> heard =
            sayItAndRecord(-1); // the whole sentence: its pitch falls as it goes
        stopAndSettle();
        QVERIFY2(SinkRecorder::audible(heard), "nothing was heard");
        const double pitch = medianPitchHz(heard, SinkRecorder::kRate);
        QVERIFY2(pitch > hertz * 0.85 && pitch < hertz * 1.15,
                 qPrintable(QStringLiteral("median pitch %1 Hz, wanted %2 Hz").arg(pitch).arg(hertz)));
    }

    void stopSilencesTheGenie() {
        typeIntoTextBox(kSentence + QLatin1Char(' ') + kSentence + QLatin1Char(' ') + kSentence);
        const std::vector<std::int16_t> before = sayItAndRecord(1000);
        QVERIFY(SinkRecorder::audible(before));
        const std::size_t stopped = recorder.samples().size();
        DesktopDriver::click(mainWindow, kStop);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.silentFor(stopped, 100), 5000);
        const std::size_t mark = recorder.samples().size();
        // The sentence would go on for many seconds more: listen to 1.5 s of what follows.
        QTRY_VERIFY_WITH_TIMEOUT(recorder.since(mark).size() >= std::size_t(SinkRecorder::kRate) * 3 / 2,
                                 10000);
        QVERIFY2(!SinkRecorder::audible(recorder.since(mark)), "speech went on after Stop");
    }

    void stopIsHeardWhileCtrlVWaitsOnAFrozenOwner() {
        typeIntoTextBox(kSentence + QLatin1Char(' ') + kSentence + QLatin1Char(' ') + kSentence);
        QVERIFY(SinkRecorder::audible(sayItAndRecord(500)));
        XclipOwner owner("frozen text");
        QVERIFY(owner.started());
        QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QStringLiteral("frozen text"), 5000); // xclip owns it
        owner.freeze();
        // Say it left the focus in the text box: Ctrl+V pastes there, and the read waits on the frozen owner.
        // The click on Stop follows the keys at once, from the same xdotool, so it is queued behind the paste
        // however busy the machine is.
        const qsizetype before = trace.mark();
        const std::size_t mark = recorder.samples().size();
        DesktopDriver::run(QStringLiteral("xdotool"),
                           {QStringLiteral("windowfocus"), QStringLiteral("--sync"), mainWindow});
        DesktopDriver::run(QStringLiteral("xdotool"),
                           {QStringLiteral("key"), QStringLiteral("--clearmodifiers"),
                            QStringLiteral("ctrl+v"), QStringLiteral("mousemove"), QStringLiteral("--window"),
                            mainWindow, QString::number(kStop.x()), QString::number(kStop.y()),
                            QStringLiteral("click"), QStringLiteral("1")});
        const auto asked = trace.waitFor(QStringLiteral("paste asked"), before, 5000);
        QVERIFY2(asked, "Ctrl+V asked nothing");
        const auto stopped = trace.waitFor(QStringLiteral("stopped"), *asked, 5000);
        QVERIFY2(stopped, "Stop did not silence the genie");
        const auto failed = trace.waitFor(QStringLiteral("paste failed"), *asked, 5000);
        QVERIFY2(failed, "the paste from the frozen owner never gave up");
        QVERIFY2(*stopped < *failed, "Stop waited for the paste");
        QTRY_VERIFY_WITH_TIMEOUT(recorder.silentFor(mark, 100), 5000);
        owner.end();
        QCOMPARE(textBoxText(), kSentence + QLatin1Char(' ') + kSentence + QLatin1Char(' ') + kSentence);
    }

    void copiedTextLandsInTheBoxAndIsSpoken() {
        const qsizetype before = trace.mark();
        DesktopDriver::sendKeys(mainWindow, {QStringLiteral("alt+p")}); // monitoring on
        const auto started = trace.waitFor(QStringLiteral("clipboard monitoring started"), before, 5000);
        QVERIFY2(started, "Alt+P did not switch clipboard monitoring on");
        QProcess owner; // xclip owns the clipboard while it runs
        owner.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-quiet")});
        QVERIFY(owner.waitForStarted());
        owner.write("copied from another program");
        owner.closeWriteChannel();
        QVERIFY2(trace.waitFor(QStringLiteral("clipboard text read 27"), *started, 5000),
                 "the next tick did not read the copied text");
        owner.kill();
        owner.waitForFinished();
        QCOMPARE(textBoxText(), QStringLiteral("copied from another program"));
        const std::vector<std::int16_t> heard = sayItAndRecord(500);
        stopAndSettle();
        QVERIFY(SinkRecorder::audible(heard));
    }

    void aFrozenClipboardOwnerDoesNotHoldUpSayIt() {
        // Monitoring is still on. This test takes the clipboard over an X connection of its own whose
        // requests it never answers: an owner frozen from its first moment.
        const qsizetype before = trace.mark();
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        auto disconnect = qScopeGuard([x] { xcb_disconnect(x); });
        QVERIFY(!xcb_connection_has_error(x));
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
        const xcb_window_t window = xcb_generate_id(x);
        xcb_create_window(x, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
        const char name[] = "CLIPBOARD";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, std::strlen(name), name), nullptr);
        QVERIFY(atom);
        xcb_set_selection_owner(x, window, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        xcb_flush(x);

        // Say it while the next tick waits on an owner that never answers.
        const auto asked = trace.waitFor(QStringLiteral("clipboard read asked"), before, 5000);
        QVERIFY2(asked, "no tick asked the frozen owner");
        const std::vector<std::int16_t> heard = sayItAndRecord(1500);
        QVERIFY2(SinkRecorder::audible(heard),
                 "Say it did not speak at once while the clipboard owner was frozen");
        QVERIFY2(trace.waitFor(QStringLiteral("clipboard read failed"), *asked, 5000),
                 "the read from the frozen owner never gave up");
        stopAndSettle();
        QVERIFY(process.state() == QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(SpeechTest)
#include "tst_speech.moc"
