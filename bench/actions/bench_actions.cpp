// Measures the time from the desktop's ActivateAction say-selection (what a global shortcut or the desktop
// file's action sends) to the first audible sample in the null sink, with a sentence selected in another
// program (xclip owns the primary selection). The program runs on a private session bus started here. Timed
// from outside like the clicks benchmark: the call's sending to the first sample louder than 1 % of full
// scale, as the sink mixes it. Run inside tools/headless.sh (make bench does). Prints figures; asserts
// nothing.
#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <vector>

namespace {

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

/// Records the sink's monitor in 2.5 ms fragments, each stamped when its read returns.
class MonitorRecorder {
public:
    static constexpr int kRate = 48000;
    static constexpr int kFragment = kRate / 400;

    explicit MonitorRecorder(const QByteArray& source) {
        const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
        const pa_buffer_attr buffer{uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1), kFragment * 2};
        int error = 0;
        stream_ = pa_simple_new(nullptr, "bench_actions", PA_STREAM_RECORD, source.constData(), "probe",
                                &format, nullptr, &buffer, &error);
        if (!stream_) {
            std::fprintf(stderr, "bench_actions: pulse: %s\n", pa_strerror(error));
        }
    }
    ~MonitorRecorder() {
        if (stream_) {
            pa_simple_free(stream_);
        }
    }
    bool ok() const { return stream_ != nullptr; }

    /// Reads for `ms` milliseconds; whether any sample was loud.
    bool listen(double ms) {
        bool loud = false;
        for (const double end = nowMs() + ms; nowMs() < end;) {
            loud = read() >= 0 || loud;
        }
        return loud;
    }

    /// Reads until a loud sample arrives or `ms` pass; its time (the clock of nowMs()), or -1.
    double firstLoud(double ms) {
        for (const double end = nowMs() + ms; nowMs() < end;) {
            if (const double at = read(); at >= 0) {
                return at;
            }
        }
        return -1;
    }

private:
    // One fragment; the time of its first loud sample, or -1.
    double read() {
        int error = 0;
        if (pa_simple_read(stream_, samples_, sizeof samples_, &error) < 0) {
            return -1;
        }
        const double readAt = nowMs();
        for (int i = 0; i < kFragment; ++i) {
            if (std::abs(samples_[i] / 32768.0) > 0.01) {
                return readAt - double(kFragment - i) * 1000.0 / kRate;
            }
        }
        return -1;
    }

    pa_simple* stream_ = nullptr;
    short samples_[kFragment] = {};
};

/// Waits until the program's trace, written to `file`, holds a line containing `step`.
bool waitForStep(const QString& file, const QByteArray& step, int timeoutMs) {
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired(); QThread::msleep(20)) {
        QFile trace(file);
        if (trace.open(QIODevice::ReadOnly) && trace.readAll().contains(step)) {
            return true;
        }
    }
    return false;
}

/// Waits until the primary selection holds `text`.
bool waitForSelection(const QByteArray& text, int timeoutMs) {
    for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired(); QThread::msleep(20)) {
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"),
                    {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("primary")});
        if (xclip.waitForFinished(5000) && xclip.readAllStandardOutput() == text) {
            return true;
        }
    }
    return false;
}

void stop(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(CW_PROGRAM_PATH);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    const QByteArray sink = qgetenv("CW_NULL_SINK");
    if (qEnvironmentVariableIsEmpty("DISPLAY") || sink.isEmpty()) {
        std::fprintf(stderr, "bench_actions: run inside tools/headless.sh\n");
        return 1;
    }

    const cw::test::PrivateSessionBus bus;
    const QString address = bus.address();
    if (address.isEmpty()) {
        std::fprintf(stderr, "bench_actions: no dbus-daemon\n");
        return 1;
    }
    QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("bench"));

    QProcess chatterwisp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("*.debug=false;chatterwisp.trace=true"));
    chatterwisp.setProcessEnvironment(environment);
    // The trace goes to a file: a pipe nobody reads while the sink is listened to would fill and stall it.
    QTemporaryDir folder;
    const QString traceFile = folder.filePath(QStringLiteral("trace"));
    chatterwisp.setStandardErrorFile(traceFile);
    chatterwisp.start(program, {});
    // The greeting is over once the genie has floated to his place.
    if (!chatterwisp.waitForStarted() || !waitForStep(traceFile, "finished MoveTo", 20000)) {
        std::fprintf(stderr, "bench_actions: the program did not start\n");
        stop(chatterwisp);
        return 1;
    }

    const QByteArray sentence("Hello there, this is the genie reading the words you selected.");
    QProcess owner; // owns the primary selection while it runs
    owner.start(QStringLiteral("xclip"),
                {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("primary")});
    owner.waitForStarted();
    owner.write(sentence);
    owner.waitForBytesWritten(5000); // no event loop runs here to write it
    owner.closeWriteChannel();
    if (!waitForSelection(sentence, 5000)) {
        std::fprintf(stderr, "bench_actions: xclip did not take the primary selection\n");
    }

    MonitorRecorder recorder(sink + ".monitor");
    std::vector<double> delays;
    int leftOut = 0;
    for (int run = 0; recorder.ok() && run < runs; ++run) {
        client.call(cw::test::activateActionCall(QStringLiteral("stop")));
        // Quiet before the call (half a second of it), or the figure would be of sound already playing.
        bool quiet = false;
        for (int wait = 0; wait < 10 && !quiet; ++wait) {
            quiet = !recorder.listen(500);
        }
        if (!quiet) {
            ++leftOut;
            continue;
        }
        const double sent = nowMs();
        client.asyncCall(cw::test::activateActionCall(QStringLiteral("say-selection")));
        const double heard = recorder.firstLoud(5000);
        if (heard < 0) {
            ++leftOut;
            continue;
        }
        delays.push_back(std::max(0.0, heard - sent));
        recorder.listen(500);
    }
    client.call(cw::test::activateActionCall(QStringLiteral("stop")));

    std::sort(delays.begin(), delays.end());
    if (delays.empty()) {
        std::printf("actions: say-selection to first audible: none heard\n");
    } else {
        std::printf(
            "actions: say-selection to first audible: median %.1f ms, min %.1f ms, max %.1f ms (%zu runs",
            delays[delays.size() / 2], delays.front(), delays.back(), delays.size());
        if (leftOut > 0) {
            std::printf("; %d left out: nothing heard, or sound already playing", leftOut);
        }
        std::printf(")\n");
    }
    owner.kill();
    owner.waitForFinished();
    stop(chatterwisp);
    QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    return delays.empty() ? 1 : 0;
}
