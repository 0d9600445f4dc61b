// tts_timbre: how the natural voice's all-pass constant moves its formants. For each constant it speaks
// "heed" and "hod" at a man's pitch and measures the first two formants at the middle of each vowel with
// praat (when installed), to compare with published adult averages (Peterson and Barney 1952: men /iy/ 270
// and 2290 Hz, /aa/ 730 and 1090 Hz; women /iy/ 310 and 2790 Hz, /aa/ 850 and 1220 Hz). The chosen constant
// is HtsVoice::kMaleAlpha; the table is in docs/speech-tags.md.
#include "tts/HtsVoice.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

using namespace cw::tts;

namespace {

bool writeWav(const QString& path, const std::vector<qint16>& samples, int rate) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto u32 = [&](quint32 v) { file.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](quint16 v) { file.write(reinterpret_cast<const char*>(&v), 2); };
    const quint32 bytes = quint32(samples.size() * 2);
    file.write("RIFF");
    u32(36 + bytes);
    file.write("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(quint32(rate));
    u32(quint32(rate) * 2);
    u16(2);
    u16(16);
    file.write("data");
    u32(bytes);
    file.write(reinterpret_cast<const char*>(samples.data()), qint64(bytes));
    return true;
}

/// F1 and F2 at `seconds` into the file, by praat's Burg method (5 formants up to 5,000 Hz, a man's setting).
QString formantsAt(const QString& praat, const QString& wav, double seconds, const QDir& dir) {
    const QString script = dir.filePath(QStringLiteral("formants.praat"));
    QFile file(script);
    if (!file.exists() && file.open(QIODevice::WriteOnly)) {
        file.write("form f\n sentence file\n real at\nendform\n"
                   "s = Read from file: file$\n"
                   "f = To Formant (burg): 0, 5, 5000, 0.025, 50\n"
                   "f1 = Get value at time: 1, at, \"hertz\", \"linear\"\n"
                   "f2 = Get value at time: 2, at, \"hertz\", \"linear\"\n"
                   "writeInfoLine: fixed$(f1, 0), \" \", fixed$(f2, 0)\n");
        file.close();
    }
    QProcess run;
    run.start(praat, {QStringLiteral("--run"), script, wav, QString::number(seconds)});
    run.waitForFinished(30000);
    return QString::fromUtf8(run.readAllStandardOutput()).trimmed();
}

} // namespace

int main() {
    if (!HtsVoice::available()) {
        std::printf("tts_timbre: the natural voice is not installed\n");
        return 0;
    }
    const QString praat = QStandardPaths::findExecutable(QStringLiteral("praat"));
    QTemporaryDir dir;
    VoiceSettings settings;
    settings.pitchHz = 110;
    settings.wordsPerMinute = 120;
    std::printf("all-pass constant: /iy/ F1 F2 (heed), /aa/ F1 F2 (hod), Hz; men 270 2290, 730 1090\n");
    for (const double alpha : {0.42, 0.45, 0.50, 0.53, 0.55, 0.58}) {
        HtsVoice voice;
        voice.setAlpha(alpha);
        QString line = QString::number(alpha, 'f', 2) + QStringLiteral(":");
        for (const auto& [word, vowel] : {std::pair{"heed", "iy"}, std::pair{"hod", "aa"}}) {
            const Utterance u = voice.synthesize(QString::fromLatin1(word), settings);
            qint64 start = 0;
            qint64 middle = -1;
            for (const auto& phone : u.phones) {
                if (phone.name == vowel) {
                    middle = (start + phone.end) / 2;
                }
                start = phone.end;
            }
            const QString wav = dir.filePath(QString::fromLatin1(word) + QString::number(alpha) + ".wav");
            writeWav(wav, u.samples, voice.sampleRate());
            line += QStringLiteral("  ") + QString::fromLatin1(word) + u' ' +
                    (praat.isEmpty() || middle < 0
                         ? QStringLiteral("(praat not installed)")
                         : formantsAt(praat, wav, double(middle) / voice.sampleRate(), QDir(dir.path())));
        }
        std::printf("%s\n", qPrintable(line));
    }
    return 0;
}
