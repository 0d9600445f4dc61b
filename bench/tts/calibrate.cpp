// tts_calibrate: measures each built-in voice, uncalibrated: its speaking rate at duration stretch 1 and the
// median pitch it reaches for a range of f0 targets. The figures go into the voice table of FliteVoice.cpp.
#include "AudioAnalysis.h"
#include "platform/tts/FliteVoice.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <cstdio>

using namespace cw::tts;

namespace {
const char* const kCalibrationText =
    "The old lighthouse keeper climbed the narrow stairs every evening to light the lamp. Ships far out at "
    "sea watched for its steady beam, and the sailors knew that they were close to home. In winter the wind "
    "howled around the tower, but the light never failed, because he cleaned the glass and trimmed the wick "
    "with great care.";
}

int main() {
    const QString text = QString::fromLatin1(kCalibrationText);
    const int words = int(text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts).size());
    for (const QString& name : FliteVoice::names()) {
        const FliteVoice voice(name);
        FliteVoice::Parameters p;
        p.f0Mean = voice.naturalPitchHz();
        p.stretch = 1.0;
        voice.synthesizeWith(QStringLiteral("Warm up."), p);
        QElapsedTimer timer;
        timer.start();
        const Utterance natural = voice.synthesizeWith(text, p);
        const double cpu = timer.nsecsElapsed() / 1e9;
        const double seconds = test::spokenSeconds(natural.samples, voice.sampleRate());
        std::printf("%s: %d words in %.2f s at stretch 1: %.1f wpm; synthesised in %.3f s (real-time factor "
                    "%.4f)\n",
                    qPrintable(name), words, seconds, words * 60.0 / seconds, cpu,
                    cpu / (double(natural.samples.size()) / voice.sampleRate()));
        const QString sentence = text.section(u'.', 0, 0) + u'.';
        double error = 0;
        for (const double target : {50.0, 60.0, 80.0, 100.0, 150.0, 200.0, 300.0, 400.0, 500.0}) {
            p.f0Mean = target;
            p.f0Stddev = 11.0 * target / voice.naturalPitchHz();
            const Utterance u = voice.synthesizeWith(sentence, p);
            const double median = test::medianPitchHz(u.samples, voice.sampleRate());
            if (target <= 400) {
                error = std::max(error, std::abs(median - target) / target);
            }
            std::printf("  {%.0f, %.1f},\n", target, median);
        }
        std::printf("  largest pitch error 50..400 Hz, uncalibrated: %.1f%%\n", error * 100);
    }
    return 0;
}
