// tts_bench: figures for the speech engine, printed, never asserted. Run inside tools/headless.sh so the
// default output is a PulseAudio null sink whose monitor can be recorded.
//   request to first synthesised samples; request to first audible sample (found in the recording of the
//   sink's monitor); synthesis real-time factor; pitch and speed asked and heard; Stop to silence; a 1 MB
//   text: first samples, peak memory. usage: tts_bench [VOICE] (the default voice when none is named)
#include "AudioAnalysis.h"
#include "core/Clock.h"
#include "platform/audio/PulseOutput.h"
#include "tts/RequestSynthesizer.h"
#include "tts/SpeechEngine.h"
#include "tts/SpeechTags.h"
#include "tts/Voice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace cw::tts;

namespace {

constexpr int kRate = 16000;
/// The null sink is digitally silent; anything above this is speech (the first phone may be a soft one).
constexpr int kLoud = 64;

/// The voice measured.
QString benchVoice;

/// An engine speaking through the sound server, as the program's is, with the voice measured.
struct DeviceEngine {
    DeviceEngine() {
        if (!output) {
            std::fprintf(stderr, "no sound server client could be started\n");
            std::exit(1);
        }
        const std::unique_ptr<Voice> voice = makeVoice(benchVoice);
        engine.setDefaults(voice->name(), voice->naturalPitchHz(), voice->naturalWordsPerMinute());
    }
    cw::SystemClock clock;
    std::unique_ptr<cw::audio::PulseOutput> output =
        cw::audio::PulseOutput::create(makeVoice(benchVoice)->sampleRate());
    SpeechEngine engine{clock, *output};
};

/// Records the null sink's monitor (parec, 10 ms latency), remembering when each sample arrived.
class MonitorRecorder {
public:
    explicit MonitorRecorder(const QElapsedTimer& clock) : clock_(clock) {}
    bool start() {
        const QString sink = qEnvironmentVariable("CW_NULL_SINK");
        if (sink.isEmpty()) {
            return false;
        }
        QObject::connect(&parec_, &QProcess::readyReadStandardOutput, [this] {
            const qint64 now = clock_.nsecsElapsed();
            pending_ += parec_.readAllStandardOutput();
            const qint64 n = pending_.size() / 2;
            const auto* s = reinterpret_cast<const qint16*>(pending_.constData());
            for (qint64 i = 0; i < n; ++i) {
                // The last sample of a read arrived now; earlier ones one sample period each before.
                samples_.push_back({s[i], now - (n - 1 - i) * 1000000000LL / kRate});
            }
            pending_.remove(0, n * 2);
        });
        parec_.start(QStringLiteral("parec"),
                     {"-d", sink + ".monitor", "--raw", "--format=s16le",
                      QStringLiteral("--rate=%1").arg(kRate), "--channels=1", "--latency-msec=10"});
        return parec_.waitForStarted(5000);
    }
    ~MonitorRecorder() {
        parec_.kill();
        parec_.waitForFinished(2000);
    }
    /// When the first loud sample after `from` (ns) was recorded; -1 if none yet.
    qint64 firstLoudAfter(qint64 from) const {
        for (const auto& [v, t] : samples_) {
            if (t >= from && std::abs(int(v)) > kLoud) {
                return t;
            }
        }
        return -1;
    }
    qint64 lastLoudAfter(qint64 from) const {
        qint64 last = -1;
        for (const auto& [v, t] : samples_) {
            if (t >= from && std::abs(int(v)) > kLoud) {
                last = t;
            }
        }
        return last;
    }

private:
    const QElapsedTimer& clock_;
    QProcess parec_;
    QByteArray pending_;
    std::vector<std::pair<qint16, qint64>> samples_;
};

double median(std::vector<double> v) {
    if (v.empty()) {
        return -1;
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QElapsedTimer clock;
    clock.start();
    // The monotonic clock's reading at the start, so times that other processes trace line up with ours.
    const qint64 clockOrigin = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();

    benchVoice = makeVoice(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString())->name();
    std::printf("voice %s\n", qPrintable(benchVoice));
    // Synthesis alone.
    {
        const std::unique_ptr<Voice> made = makeVoice(benchVoice);
        const Voice& voice = *made;
        const QString text =
            QStringLiteral("The old clock in the hall struck nine, and everyone in the house went "
                           "quiet. Outside, the snow kept falling on the empty street.");
        synthesizeAll(voice, parseSpeechTags(text, {}));
        QElapsedTimer t;
        t.start();
        const SynthChunk all = synthesizeAll(voice, parseSpeechTags(text, {}));
        const double cpu = t.nsecsElapsed() / 1e9;
        std::printf("synthesis real-time factor (%s): %.4f (%.1f ms for %.2f s of speech)\n",
                    qPrintable(voice.name()), cpu / (double(all.samples.size()) / voice.sampleRate()),
                    cpu * 1000, double(all.samples.size()) / voice.sampleRate());
        // What is heard for what is asked, on the same prose.
        const QString prose = QString(text + u' ').repeated(3);
        const int words = int(prose.split(u' ', Qt::SkipEmptyParts).size());
        QString pitches;
        for (const int hz : {60, 120, 200, 300}) {
            const SynthChunk heard =
                synthesizeAll(voice, parseSpeechTags(QStringLiteral("\\Pit=%1\\").arg(hz) + text, {}));
            pitches += QStringLiteral(" %1 -> %2")
                           .arg(hz)
                           .arg(test::medianPitchHz(heard.samples, voice.sampleRate()), 0, 'f', 0);
        }
        std::printf("pitch asked -> median heard, Hz (%s):%s\n", qPrintable(voice.name()),
                    qPrintable(pitches));
        QString speeds;
        for (const int wpm : {100, 250}) {
            const SynthChunk heard =
                synthesizeAll(voice, parseSpeechTags(QStringLiteral("\\Spd=%1\\").arg(wpm) + prose, {}));
            const double minutes = test::spokenSeconds(heard.samples, voice.sampleRate()) / 60;
            speeds += QStringLiteral(" %1 -> %2").arg(wpm).arg(words / minutes, 0, 'f', 0);
        }
        std::printf("words a minute asked -> heard (%s):%s\n", qPrintable(voice.name()), qPrintable(speeds));
    }

    MonitorRecorder recorder(clock);
    const bool recording = recorder.start();
    if (!recording) {
        std::printf(
            "no null sink monitor to record (run inside tools/headless.sh): audible figures skipped\n");
    }
    // A null sink renders 2 s ahead while no client asks for less; the recorder asks for 10 ms, and the sink
    // takes that up at the end of the block it is in. Any request in that block waits for it, whatever the
    // program, so the figures start once the sink has settled.
    QTest::qWait(2500);

    std::vector<double> firstSamples;
    std::vector<double> firstAudible;
    auto measure = [&](SpeechEngine& engine, int number) {
        QSignalSpy finished(&engine, &SpeechEngine::finished);
        const qint64 asked = clock.nsecsElapsed();
        engine.speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\Hello there."));
        finished.wait(20000);
        QTest::qWait(300);
        firstSamples.push_back(engine.statistics().nsToFirstSamples / 1e6);
        const qint64 heard = recorder.firstLoudAfter(asked);
        if (heard >= 0) {
            firstAudible.push_back((heard - asked) / 1e6);
        }
        std::printf("  request %d: first samples %.2f ms, first audible %.1f ms\n", number,
                    firstSamples.back(), heard >= 0 ? (heard - asked) / 1e6 : -1.0);
    };
    // The first request of a process: the engine is made and speaks at once, while its output is still
    // connecting to the server.
    std::vector<double> firstOfProcess;
    for (int i = 0; i < 5 && recording; ++i) {
        DeviceEngine fresh;
        measure(fresh.engine, 1);
        firstOfProcess.push_back(firstAudible.empty() ? -1 : firstAudible.back());
        firstSamples.clear();
        firstAudible.clear();
    }
    if (recording) {
        std::printf(
            "first request of a new engine to first audible sample: median %.1f ms (min %.1f, max %.1f, "
            "%zu runs)\n",
            median(firstOfProcess), *std::min_element(firstOfProcess.begin(), firstOfProcess.end()),
            *std::max_element(firstOfProcess.begin(), firstOfProcess.end()), firstOfProcess.size());
    }
    // tools/say in a process of its own: from starting the process, and from its request (the trace's
    // "synthesis asked", on the same monotonic clock), to the first audible sample.
    const QString say = QStringLiteral(CW_SAY_PROGRAM);
    std::vector<double> sayFromStart;
    std::vector<double> sayFromRequest;
    for (int i = 0; i < 5 && recording && QFile::exists(say); ++i) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("chatterwisp.trace=true"));
        process.setProcessEnvironment(env);
        const qint64 launched = clock.nsecsElapsed();
        process.start(say, {QStringLiteral("--voice"), benchVoice, QStringLiteral("Hello there.")});
        process.waitForFinished(20000);
        QTest::qWait(300);
        const qint64 heard = recorder.firstLoudAfter(launched);
        if (heard < 0) {
            continue;
        }
        sayFromStart.push_back((heard - launched) / 1e6);
        for (const QByteArray& line : process.readAllStandardError().split('\n')) {
            if (line.endsWith(" synthesis asked")) {
                const double askedMs = line.split(' ').value(1).toDouble();
                sayFromRequest.push_back((heard + clockOrigin) / 1e6 - askedMs);
            }
        }
    }
    auto summary = [](const char* what, std::vector<double> v) {
        if (!v.empty()) {
            std::printf("%s: median %.1f ms (min %.1f, max %.1f, %zu runs)\n", what, median(v),
                        *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()),
                        v.size());
        }
    };
    summary("tools/say, process start to first audible sample", sayFromStart);
    summary("tools/say, its request to first audible sample", sayFromRequest);

    DeviceEngine device;
    SpeechEngine& engine = device.engine;
    QTest::qWait(500);
    for (int i = 0; i < 9; ++i) {
        measure(engine, i + 1);
    }
    std::printf("request to first synthesised samples: median %.2f ms\n", median(firstSamples));
    std::printf("request to first audible sample: median %.1f ms (min %.1f, max %.1f; %zu of 9 heard)\n",
                median(firstAudible), *std::min_element(firstAudible.begin(), firstAudible.end()),
                *std::max_element(firstAudible.begin(), firstAudible.end()), firstAudible.size());
    std::vector<double> afterPause;
    for (int i = 0; i < 3 && recording; ++i) {
        QTest::qWait(2600); // a pause: the output waits, paused, for the next request
        QSignalSpy finished(&engine, &SpeechEngine::finished);
        const qint64 asked = clock.nsecsElapsed();
        engine.speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\Hello there."));
        finished.wait(20000);
        QTest::qWait(300);
        const qint64 heard = recorder.firstLoudAfter(asked);
        if (heard >= 0) {
            afterPause.push_back((heard - asked) / 1e6);
        }
    }
    if (recording) {
        std::printf("request to first audible sample after a pause of 2.6 s: median %.1f ms\n",
                    median(afterPause));
    }

    // Each paragraph in its own language: the first request in a language loads its voice (eSpeak NG's,
    // on the synthesis thread), later ones find it ready.
    struct LanguageSample {
        const char* name;
        QString text;
    };
    const std::vector<LanguageSample> languages = {
        {"English", QStringLiteral("The weather was fine, so we walked along the river to the old mill.")},
        {"German", QStringLiteral("Das Wetter war schön, also gingen wir am Fluss entlang zur alten Mühle.")},
        {"Japanese", QStringLiteral("天気が良かったので、私たちは川に沿って古い水車小屋まで歩きました。")},
    };
    for (const LanguageSample& sample : languages) {
        std::vector<double> heardMs;
        double firstMs = -1;
        for (int i = 0; i < 6 && recording; ++i) {
            QSignalSpy finished(&engine, &SpeechEngine::finished);
            const qint64 asked = clock.nsecsElapsed();
            engine.speak(sample.text);
            QTest::qWait(1500);
            engine.stop();
            finished.wait(5000);
            QTest::qWait(300);
            const qint64 heard = recorder.firstLoudAfter(asked);
            const double ms = heard < 0 ? -1.0 : (heard - asked) / 1e6;
            if (i == 0) {
                firstMs = ms;
            } else if (ms >= 0) {
                heardMs.push_back(ms);
            }
        }
        if (recording) {
            std::printf("%s paragraph, request to first audible sample: first in the language %.1f ms, then "
                        "median %.1f ms (%zu of 5 heard)\n",
                        sample.name, firstMs, median(heardMs), heardMs.size());
        }
    }
    std::printf("peak memory with English, German and Japanese spoken: %ld MB\n", peakRssKb() / 1024);

    std::vector<double> silences;
    for (int i = 0; i < 5 && recording; ++i) {
        QSignalSpy finished(&engine, &SpeechEngine::finished);
        engine.speak(
            QStringLiteral("\\Spd=150\\This sentence goes on and on, and it will be cut short by a stop "
                           "long before it reaches its end."));
        QTest::qWait(1200);
        const qint64 stopped = clock.nsecsElapsed();
        engine.stop();
        finished.wait(5000);
        QTest::qWait(500);
        const qint64 last = recorder.lastLoudAfter(stopped);
        silences.push_back(last < 0 ? 0.0 : (last - stopped) / 1e6);
    }
    if (recording) {
        std::printf("stop to silence: median %.1f ms, worst %.1f ms\n", median(silences),
                    *std::max_element(silences.begin(), silences.end()));
    }

    {
        // A megabyte in three languages, a paragraph each in turn.
        QString mixed;
        while (mixed.size() < 1024 * 1024) {
            mixed += QStringLiteral("Bonjour à tous, nous allons lire un long texte ensemble ce soir.\n"
                                    "Guten Abend, wir lesen heute gemeinsam einen langen Text.\n"
                                    "Good evening, tonight we read a long text together.\n");
        }
        QSignalSpy finished(&engine, &SpeechEngine::finished);
        const qint64 asked = clock.nsecsElapsed();
        engine.speak(mixed);
        QTest::qWait(3000);
        const SpeechStatistics s = engine.statistics();
        engine.stop();
        finished.wait(5000);
        const qint64 heard = recording ? recorder.firstLoudAfter(asked) : -1;
        std::printf("1 MB in French, German and English: first samples after %.2f ms, first audible after "
                    "%.1f ms; peak memory %ld MB\n",
                    s.nsToFirstSamples / 1e6, heard < 0 ? -1.0 : (heard - asked) / 1e6, peakRssKb() / 1024);
    }
    {
        QString huge;
        while (huge.size() < 1024 * 1024) {
            huge += QStringLiteral("A long text goes on, one sentence after another, for a very long time. ");
        }
        const long before = peakRssKb();
        QSignalSpy finished(&engine, &SpeechEngine::finished);
        const qint64 asked = clock.nsecsElapsed();
        engine.speak(huge);
        QTest::qWait(4000);
        const SpeechStatistics s = engine.statistics();
        engine.stop();
        finished.wait(5000);
        const qint64 heard = recording ? recorder.firstLoudAfter(asked) : -1;
        std::printf(
            "1 MB text: first samples after %.2f ms (%lld characters synthesised first), first audible "
            "after %.1f ms; peak memory %ld MB (%+ld MB while speaking); at most %.1f s of audio buffered\n",
            s.nsToFirstSamples / 1e6, s.charactersBeforeFirstAudio, heard < 0 ? -1.0 : (heard - asked) / 1e6,
            peakRssKb() / 1024, (peakRssKb() - before) / 1024, double(s.peakBufferedSamples) / s.sampleRate);
    }
    return 0;
}
