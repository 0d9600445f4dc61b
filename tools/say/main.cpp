// say: speaks a request with speech-output tags, or writes it to a WAV file, and prints the timeline.
#include "platform/tts/FliteVoice.h"
#include "platform/tts/Mouths.h"
#include "platform/tts/RequestSynthesizer.h"
#include "platform/tts/SpeechEngine.h"
#include "platform/tts/SpeechTags.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

using namespace cw::tts;

namespace {

bool writeWav(const QString& path, const std::vector<qint16>& samples, int rate) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto u32 = [&](quint32 v) {
        const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        file.write(b, 4);
    };
    const auto u16 = [&](quint16 v) {
        const char b[2] = {char(v), char(v >> 8)};
        file.write(b, 2);
    };
    const quint32 bytes = quint32(samples.size() * 2);
    file.write("RIFF");
    u32(36 + bytes);
    file.write("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(quint32(rate));
    u32(quint32(rate * 2));
    u16(2);
    u16(16);
    file.write("data");
    u32(bytes);
    for (const qint16 s : samples) {
        u16(quint16(s));
    }
    return file.error() == QFile::NoError;
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
    const QCommandLineOption voice("voice", "Voice: " + FliteVoice::names().join(", ") + ".", "name");
    const QCommandLineOption pitch("pitch", "Default pitch in hertz.", "hz");
    const QCommandLineOption speed("wpm", "Default speed in words per minute.", "wpm");
    const QCommandLineOption stopAfter("stop-after", "Stop speaking after <ms> milliseconds.", "ms");
    const QCommandLineOption file("file", "Read the request from <file> (UTF-8).", "file");
    cli.addOptions({wav, dry, silent, voice, pitch, speed, stopAfter, file});
    cli.addPositionalArgument("request", "The tagged request; several arguments are joined with blanks.");
    cli.process(app);

    QString request = cli.positionalArguments().join(u' ');
    if (cli.isSet(file)) {
        QFile in(cli.value(file));
        if (!in.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "say: cannot read %s\n", qPrintable(cli.value(file)));
            return 1;
        }
        request = QString::fromUtf8(in.readAll());
    }
    const FliteVoice fliteVoice(cli.value(voice));
    VoiceSettings defaults;
    defaults.pitchHz = cli.isSet(pitch) ? cli.value(pitch).toInt() : fliteVoice.naturalPitchHz();
    defaults.wordsPerMinute =
        cli.isSet(speed) ? cli.value(speed).toInt() : fliteVoice.naturalWordsPerMinute();
    QTextStream out(stdout);

    if (cli.isSet(wav) || cli.isSet(dry)) {
        const ParsedRequest parsed = parseSpeechTags(request, defaults);
        const SynthChunk all = synthesizeAll(fliteVoice, parsed);
        out << formatTimeline(all.events, fliteVoice.sampleRate(), parsed.balloonText);
        if (cli.isSet(wav) && !writeWav(cli.value(wav), all.samples, fliteVoice.sampleRate())) {
            std::fprintf(stderr, "say: cannot write %s\n", qPrintable(cli.value(wav)));
            return 1;
        }
        return 0;
    }

    SpeechEngine engine(cli.isSet(silent) ? AudioOutput::None : AudioOutput::DefaultDevice);
    engine.setDefaults(fliteVoice.name(), defaults.pitchHz, defaults.wordsPerMinute);
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
