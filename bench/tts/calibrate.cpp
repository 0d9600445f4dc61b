// tts_calibrate: measures each built-in voice, uncalibrated: its speaking rate at duration stretch 1 and the
// median pitch it reaches for a range of f0 targets. The figures go into the voice table of FliteVoice.cpp,
// and the natural voice's into HtsVoice.cpp.
#include "AudioAnalysis.h"
#include "tts/FliteVoice.h"
#include "tts/HtsVoice.h"
#include "tts/RequestSynthesizer.h"
#include "tts/SpeechTags.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <cstdio>

using namespace cw::tts;

namespace {
const char* const kCalibrationText =
    "The old lighthouse keeper climbed the narrow stairs every evening to light the lamp. Ships far out at "
    "sea watched for its steady beam, and the sailors knew that they were close to home. In winter the wind "
    "howled around the tower, but the light never failed, because he cleaned the glass and trimmed the wick "
    "with great care. Years later, when a modern beacon replaced the old lamp, people still remembered him. "
    "Children asked their grandparents about the keeper, and the stories grew a little with every telling: "
    "how "
    "he rowed out in a storm to save three fishermen, how he kept a cat that hated water, and how he read "
    "every "
    "book in the village library twice. Nobody knows which stories are true, but the tower still stands. "
    "Please remember to buy milk, eggs and some fresh bread on your way home tonight. I will be back late, "
    "so "
    "do not wait for me with dinner. If anyone calls about the car, tell them it is ready on Monday. Thanks "
    "a "
    "lot, and see you tomorrow morning. The dog ran to the gate and barked at the man with the red hat. He "
    "did not stop, and the dog sat down in the sun. It was a hot day, and the road was dry and long. Far "
    "away, "
    "a bell rang twice, and then all was still again. The government published detailed figures on regional "
    "employment yesterday, showing considerable improvement in manufacturing and tourism. Economists "
    "cautioned, however, that international competition remains a serious challenge for smaller businesses.";
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
        // Spoken the way the engine speaks it, a sentence at a time, at duration stretch 1.
        VoiceSettings settings;
        settings.pitchHz = voice.naturalPitchHz();
        settings.wordsPerMinute = voice.naturalWordsPerMinute();
        const double stretch = voice.durationStretchFor(settings.wordsPerMinute);
        QElapsedTimer timer;
        timer.start();
        const SynthChunk natural = synthesizeAll(voice, parseSpeechTags(text, settings));
        const double cpu = timer.nsecsElapsed() / 1e9;
        const double seconds = test::spokenSeconds(natural.samples, voice.sampleRate()) / stretch;
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
    if (HtsVoice::available()) {
        const HtsVoice voice;
        voice.synthesize(QStringLiteral("Warm up."), VoiceSettings{});
        VoiceSettings settings;
        settings.pitchHz = voice.naturalPitchHz();
        settings.wordsPerMinute = voice.naturalWordsPerMinute(); // engine speed 1
        QElapsedTimer timer;
        timer.start();
        const SynthChunk natural = synthesizeAll(voice, parseSpeechTags(text, settings));
        const double cpu = timer.nsecsElapsed() / 1e9;
        const double seconds = test::spokenSeconds(natural.samples, voice.sampleRate());
        std::printf("%s: %d words in %.2f s at speed 1: %.1f wpm; synthesised in %.3f s (real-time factor "
                    "%.4f)\n",
                    qPrintable(voice.name()), words, seconds, words * 60.0 / seconds, cpu,
                    cpu / (double(natural.samples.size()) / voice.sampleRate()));
        const QString sentence = text.section(u'.', 0, 1) + u'.';
        double error = 0;
        for (const int target : {50, 60, 80, 100, 150, 200, 300, 400, 500}) {
            settings.pitchHz = target;
            const double median =
                test::medianPitchHz(voice.synthesize(sentence, settings).samples, voice.sampleRate());
            if (target <= 400) {
                error = std::max(error, std::abs(median - target) / target);
            }
            std::printf("  %d Hz asked: %.1f Hz\n", target, median);
        }
        std::printf("  largest pitch error 50..400 Hz: %.1f%%\n", error * 100);
    }
    return 0;
}
