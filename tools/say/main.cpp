// say: speaks a request with speech-output tags, or writes it to a WAV file, and prints the timeline.
#include "core/BoundedFile.h"
#include "core/Clock.h"
#include "core/TextLimits.h"
#include "platform/audio/PulseOutput.h"
#include "tts/FliteModule.h"
#include "tts/Languages.h"
#include "tts/Mouths.h"
#include "tts/RequestSynthesizer.h"
#include "tts/SilentOutput.h"
#include "tts/SpeechEngine.h"
#include "tts/SpeechTags.h"
#include "tts/Voice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace cw::tts;

namespace {

/// A 16-bit mono WAV file written as the samples come: the header's sizes are filled in when it is finished.
class WavWriter {
public:
    WavWriter(const QString& path, int rate) : file_(path), rate_(rate) {}

    bool open() {
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return false;
        }
        return writeHeader(0);
    }
    /// False when the file cannot take them: a write error, or more audio than a WAV file can describe.
    bool append(const std::vector<qint16>& samples) {
        const qint64 bytes = qint64(samples.size()) * 2;
        if (dataBytes_ + bytes > kMaxDataBytes) {
            tooLong_ = true;
            return false;
        }
        QByteArray block(bytes, Qt::Uninitialized);
        for (size_t i = 0; i < samples.size(); ++i) {
            const auto v = quint16(samples[i]);
            block[qsizetype(2 * i)] = char(v & 0xFF);
            block[qsizetype(2 * i + 1)] = char(v >> 8);
        }
        dataBytes_ += bytes;
        return file_.write(block) == bytes;
    }
    bool finish() { return file_.seek(0) && writeHeader(quint32(dataBytes_)) && file_.flush(); }
    bool tooLong() const { return tooLong_; }

private:
    // The RIFF size field (36 + data) must fit 32 bits.
    static constexpr qint64 kMaxDataBytes = 0xFFFFFFFFLL - 36;

    bool writeHeader(quint32 dataBytes) {
        QByteArray header;
        const auto u32 = [&](quint32 v) {
            const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
            header.append(b, 4);
        };
        const auto u16 = [&](quint16 v) {
            const char b[2] = {char(v), char(v >> 8)};
            header.append(b, 2);
        };
        header.append("RIFF");
        u32(36 + dataBytes);
        header.append("WAVEfmt ");
        u32(16);
        u16(1);
        u16(1);
        u32(quint32(rate_));
        u32(quint32(rate_ * 2));
        u16(2);
        u16(16);
        header.append("data");
        u32(dataBytes);
        return file_.write(header) == header.size();
    }

    QFile file_;
    int rate_;
    qint64 dataBytes_ = 0;
    bool tooLong_ = false;
};

/// Synthesises the request a chunk at a time, printing its timeline as it goes and handing the audio to `wav`
/// when there is one; nothing is kept beyond the chunk at hand. The exit status.
int synthesizeToFile(const Voice& voice, const QString& request, const VoiceSettings& defaults,
                     const QString& wavPath, QTextStream& out) {
    std::optional<WavWriter> wav;
    if (!wavPath.isEmpty()) {
        wav.emplace(wavPath, voice.sampleRate());
        if (!wav->open()) {
            std::fprintf(stderr, "say: cannot write %s\n", qPrintable(wavPath));
            return 1;
        }
    }
    RequestSynthesizer synth(voice, parseSpeechTags(request, defaults), paragraphLanguageFinder(),
                             startingLanguage());
    const QString& balloon = synth.request().balloonText;
    while (!synth.atEnd()) {
        const SynthChunk chunk = synth.next();
        out << formatTimeline(chunk.events, voice.sampleRate(), balloon);
        if (wav && !wav->append(chunk.samples)) {
            out.flush();
            if (wav->tooLong()) {
                std::fprintf(stderr, "say: the speech is longer than a WAV file can hold; %s is cut short\n",
                             qPrintable(wavPath));
                wav->finish();
            } else {
                std::fprintf(stderr, "say: cannot write %s\n", qPrintable(wavPath));
            }
            return 1;
        }
    }
    TimelineEvent end;
    end.kind = TimelineEvent::Kind::End;
    end.sample = synth.position();
    out << formatTimeline({end}, voice.sampleRate(), balloon);
    out.flush();
    if (wav && !wav->finish()) {
        std::fprintf(stderr, "say: cannot write %s\n", qPrintable(wavPath));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription("Speaks a request with speech-output tags and prints its timeline.\n"
                                  "Example: say '\\Pit=200\\\\Spd=250\\\\Chr=\\Hello there.'");
    cli.addHelpOption();
    const QCommandLineOption wav("wav", "Write the speech to <file> instead of playing it.", "file");
    const QCommandLineOption dry("dry", "Print the timeline without playing anything.");
    const QCommandLineOption silent("silent", "Run the timeline on a clock, with no audio output.");
    const QCommandLineOption voice(
        "voice", "Voice: " + voiceNames().join(", ") + " (the first is the default).", "name");
    const QCommandLineOption pitch("pitch", "Default pitch in hertz.", "hz");
    const QCommandLineOption speed("wpm", "Default speed in words per minute.", "wpm");
    const QCommandLineOption stopAfter("stop-after", "Stop speaking after <ms> milliseconds.", "ms");
    const QCommandLineOption file(
        "file", "Read the request from <file> (UTF-8), a regular file of at most 256 MiB.", "file");
    cli.addOptions({wav, dry, silent, voice, pitch, speed, stopAfter, file});
    cli.addPositionalArgument("request", "The tagged request; several arguments are joined with blanks.");
    cli.process(app);

    QString request = cli.positionalArguments().join(u' ');
    if (cli.isSet(file)) {
        // A FIFO or a device at the path would block or never end: only a regular file of a text's size is
        // read.
        const cw::files::FileContents in = cw::files::readRegularFile(cli.value(file), cw::kMaxTextBytes);
        if (!in.ok()) {
            std::fprintf(stderr, "say: %s\n",
                         qPrintable(in.error().failure == cw::files::ReadFailure::NotRegular
                                        ? in.message() + QStringLiteral(", not a regular file")
                                        : in.message()));
            return 2;
        }
        request = QString::fromUtf8(in.value());
    }
    if (const cw::tts::FliteModuleLoad& module = cw::tts::fliteModule(); !module.api) {
        // Nothing can be spoken or written.
        std::fprintf(stderr, "say: no speech: %s\n", qPrintable(module.failure));
        return 1;
    }
    // The voice named speaks English; every other language is found paragraph by paragraph, as the program
    // does.
    const std::unique_ptr<Voice> speaker = makeSpeakingVoice(cli.value(voice));
    VoiceSettings defaults;
    defaults.pitchHz = cli.isSet(pitch) ? cli.value(pitch).toInt() : speaker->naturalPitchHz();
    defaults.wordsPerMinute = cli.isSet(speed) ? cli.value(speed).toInt() : speaker->naturalWordsPerMinute();
    QTextStream out(stdout);

    if (cli.isSet(wav) || cli.isSet(dry)) {
        return synthesizeToFile(*speaker, request, defaults, cli.isSet(wav) ? cli.value(wav) : QString(),
                                out);
    }

    cw::SystemClock engineClock;
    std::unique_ptr<cw::AudioOutput> output;
    if (!cli.isSet(silent)) {
        output = cw::audio::PulseOutput::create(speaker->sampleRate());
        if (!output) {
            std::fprintf(stderr, "say: no sound server client could be started - speaking silently\n");
        }
    }
    if (!output) {
        output = std::make_unique<cw::tts::SilentOutput>(engineClock);
    }
    SpeechEngine engine(engineClock, *output);
    engine.setDefaults(speaker->name(), defaults.pitchHz, defaults.wordsPerMinute);
    QElapsedTimer clock;
    QString balloon;
    const auto stamp = [&] { return QString::number(clock.elapsed()).rightJustified(7) + u' '; };
    QObject::connect(&engine, &SpeechEngine::started, [&](quint64, const QString& text) {
        balloon = text;
        out << stamp() << "started" << Qt::endl;
    });
    QObject::connect(&engine, &SpeechEngine::word, [&](quint64, int start, int length) {
        out << stamp() << "word " << start << ' ' << length << " \"" << balloon.mid(start, length) << '"'
            << Qt::endl;
    });
    QObject::connect(&engine, &SpeechEngine::mouth, [&](quint64, Mouth shape) {
        out << stamp() << "mouth " << mouthName(shape) << Qt::endl;
    });
    QObject::connect(&engine, &SpeechEngine::bookmark,
                     [&](quint64, int mark) { out << stamp() << "bookmark " << mark << Qt::endl; });
    QObject::connect(&engine, &SpeechEngine::finished, [&](quint64) {
        const SpeechStatistics s = engine.statistics();
        out << stamp() << "end (" << (s.audible ? "audible" : "silent") << ")" << Qt::endl;
        app.quit();
    });
    clock.start();
    engine.speak(request);
    if (cli.isSet(stopAfter)) {
        QTimer::singleShot(cli.value(stopAfter).toInt(), &engine, [&] {
            out << stamp() << "stop" << Qt::endl;
            engine.stop();
        });
    }
    return app.exec();
}
