// Benchmarks of the main window's commands with the real program inside this process (real character engine,
// real speech, real clipboard), on the headless desktop of tools/headless.sh. Prints figures; asserts
// nothing.
//  - click on "Say it!" with the untouched prompt to the first audible sample at the null sink;
//  - the longest stall of the user-interface thread while clipboard monitoring ticks with a 5 MB clipboard
//  text,
//    and with a clipboard owner that no longer answers;
//  - 1000 rapid clicks on "Say it!", then Stop: time until the queue is empty and until silence.
#include "app/Application.h"
#include "app/CWmain.h"
#include "app/CharacterServiceFactory.h"
#include "app/DesktopPlatform.h"
#include "app/Fonts.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {

QElapsedTimer sinceStart;

void waitMs(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// Listens to the null sink and remembers when the last loud sample arrived.
class SinkListener {
public:
    bool start() {
        const QString sink = qEnvironmentVariable("CW_NULL_SINK");
        if (sink.isEmpty()) {
            return false;
        }
        parec_.start(QStringLiteral("parec"),
                     {QStringLiteral("-d"), sink + QStringLiteral(".monitor"), QStringLiteral("--raw"),
                      QStringLiteral("--format=s16le"), QStringLiteral("--rate=16000"),
                      QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=2")});
        QObject::connect(&parec_, &QProcess::readyReadStandardOutput, [this] { read(); });
        return parec_.waitForStarted();
    }
    ~SinkListener() {
        parec_.kill();
        parec_.waitForFinished();
    }
    /// Arrival time (ms since start) of the latest loud sample; -1 before any.
    qint64 lastLoudMs() const { return lastLoud_; }
    qint64 firstLoudAfter(qint64 ms) const { return firstLoudAfter_ >= ms ? firstLoudAfter_ : -1; }
    void armFirstLoud() { firstLoudAfter_ = -1; }

private:
    void read() {
        const QByteArray bytes = parec_.readAllStandardOutput();
        const qint64 now = sinceStart.elapsed();
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            const int sample = static_cast<std::int16_t>(data[i] | (data[i + 1] << 8));
            if (std::abs(sample) > 1000) {
                lastLoud_ = now;
                if (firstLoudAfter_ < 0) {
                    firstLoudAfter_ = now;
                }
                break;
            }
        }
    }
    QProcess parec_;
    qint64 lastLoud_ = -1;
    qint64 firstLoudAfter_ = -1;
};

// Measures the longest gap between ticks of a 1 ms timer: how long the user-interface thread was held up.
class StallMeter {
public:
    StallMeter() {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        timer_.start();
    }
    double stop() {
        timer_.stop();
        return static_cast<double>(longest_) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

QProcess* ownClipboard(const QByteArray& text) {
    auto* owner = new QProcess;
    owner->start(QStringLiteral("xclip"),
                 {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-quiet")});
    owner->waitForStarted();
    owner->write(text);
    owner->closeWriteChannel();
    waitMs(500);
    return owner;
}

void endOwner(QProcess* owner) {
    ::kill(static_cast<pid_t>(owner->processId()), SIGCONT);
    owner->kill();
    owner->waitForFinished();
    delete owner;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    sinceStart.start();
    cw::Application app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    cw::installFontSubstitutes();
    cw::DesktopPlatform platform;
    // The character file built beside the program.
    cw::CWmain window(platform.services(cw::makeCharacterService({QStringLiteral(CW_CHARACTER_DIR)})));
    window.Form_Initialize();
    window.Form_Load();

    SinkListener sink;
    if (!sink.start()) {
        std::fprintf(stderr, "bench_commands: no null sink (run inside tools/headless.sh)\n");
        return 1;
    }
    waitMs(6000); // the greeting

    // Say it with the untouched prompt: Show (already visible) and Speak, straight to audio.
    std::vector<double> latencies;
    for (int run = 0; run < 7; ++run) {
        sink.armFirstLoud();
        const qint64 clicked = sinceStart.elapsed();
        window.Button->click();
        QElapsedTimer wait;
        wait.start();
        while (sink.firstLoudAfter(clicked) < 0 && wait.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        if (sink.firstLoudAfter(clicked) >= 0) {
            latencies.push_back(static_cast<double>(sink.firstLoudAfter(clicked) - clicked));
        }
        window.cmdShut->click();
        waitMs(700);
    }
    std::printf(
        "commands: Say it (untouched prompt) to first audible sample at the sink: median %.0f ms "
        "(min %.0f, max %.0f, %zu runs; includes the recorder's own delivery delay)\n",
        median(latencies), latencies.empty() ? -1 : *std::min_element(latencies.begin(), latencies.end()),
        latencies.empty() ? -1 : *std::max_element(latencies.begin(), latencies.end()), latencies.size());

    // Clipboard monitoring with a 5 MB text (in lines, then as one line), then with an owner that does not
    // answer.
    StallMeter stall;
    window.chkpaste->click();
    for (const char* line : {"Copied text from another program, line after line of it.\n",
                             "Copied text from another program, all on one line. "}) {
        QByteArray big;
        big.reserve(5 * 1024 * 1024 + 64);
        while (big.size() < 5 * 1024 * 1024) {
            big.append(line);
        }
        QProcess* owner = ownClipboard(big);
        stall.start();
        waitMs(6500);
        const double longest = stall.stop();
        // A line of megabytes is shown broken into paragraphs: compare without the line breaks.
        const bool whole = window.TextBox->toPlainText().remove(QLatin1Char('\n')) ==
                           QString::fromUtf8(big).remove(QLatin1Char('\n'));
        std::printf(
            "commands: longest UI stall over 3 ticks with a 5 MB clipboard text %s: %.1f ms (box holds %lld "
            "characters in %d paragraphs; %s)\n",
            big.count('\n') > 1 ? "in lines" : "on one line", longest,
            static_cast<long long>(window.TextBox->document()->characterCount() - 1),
            window.TextBox->document()->blockCount(), whole ? "the whole text" : "NOT the whole text");
        endOwner(owner);
    }

    QProcess* owner = ownClipboard("frozen");
    ::kill(static_cast<pid_t>(owner->processId()), SIGSTOP);
    stall.start();
    waitMs(6500);
    std::printf("commands: longest UI stall over 3 ticks with a frozen clipboard owner: %.1f ms\n",
                stall.stop());
    endOwner(owner);
    window.chkpaste->click();
    window.TextBox->setPlainText(QStringLiteral("Short words to say."));

    // 1000 rapid clicks, then Stop.
    for (int i = 0; i < 1000; ++i) {
        window.Button->click();
    }
    sink.armFirstLoud();
    const qint64 clicked = sinceStart.elapsed();
    QElapsedTimer speaking;
    speaking.start();
    while (sink.firstLoudAfter(clicked) < 0 && speaking.elapsed() < 15000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    waitMs(300); // well into the first sentence
    QElapsedTimer stopTimer;
    const qint64 stopAt = sinceStart.elapsed();
    stopTimer.start();
    window.cmdShut->click();
    const double queueEmptyMs = static_cast<double>(stopTimer.nsecsElapsed()) / 1e6;
    waitMs(1500);
    const qint64 lastLoud = sink.lastLoudMs();
    std::printf(
        "commands: 1000 Say it clicks, then Stop: queue empty after %.2f ms; last audible sample %lld ms "
        "after Stop\n",
        queueEmptyMs, static_cast<long long>(lastLoud >= stopAt ? lastLoud - stopAt : 0));
    return 0;
}
