// tts_espeak: measures the eSpeak NG voice, printed, never asserted.
//   calibrate: the median pitch heard for a voice file's base pitch, and the words a minute heard for the
//   words a minute asked, per language, uncalibrated (the figures in EspeakVoice.cpp); then, calibrated,
//   what is heard for what is asked.
//   latency: begin() and the first samples read for a German and a Japanese sentence, and what loading a
//   language, changing it and changing the pitch cost.
// usage: tts_espeak [calibrate|latency] (both when none is named)
#include "AudioAnalysis.h"
#include "EspeakTexts.h"
#include "tts/EspeakVoice.h"
#include "tts/RequestSynthesizer.h"
#include "tts/SpeechTags.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace cw::tts;

namespace {

int wordCount(const QString& text) {
    return int(text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size());
}

/// Words a minute heard for `text` spoken as the engine speaks it, a sentence at a time.
double heardWordsPerMinute(const EspeakVoice& voice, const QString& text, int wordsPerMinute) {
    VoiceSettings defaults;
    defaults.pitchHz = voice.naturalPitchHz();
    defaults.wordsPerMinute = wordsPerMinute;
    const SynthChunk audio = synthesizeAll(voice, parseSpeechTags(text, defaults));
    return wordCount(text) / (test::spokenSeconds(audio.samples, voice.sampleRate()) / 60);
}

/// Words a minute heard for `text` with eSpeak NG's own parameters, a sentence at a time.
double heardWordsPerMinute(const EspeakVoice& voice, const QString& text, const EspeakVoice::Parameters& p) {
    std::vector<std::int16_t> samples;
    for (const QString& sentence :
         text.split(QRegularExpression(QStringLiteral("(?<=[.!?])\\s+")), Qt::SkipEmptyParts)) {
        const Utterance u = voice.synthesizeWith(sentence, p);
        samples.insert(samples.end(), u.samples.begin(), u.samples.end());
    }
    return wordCount(text) / (test::spokenSeconds(samples, voice.sampleRate()) / 60);
}

void calibrate() {
    std::printf(
        "espeakRATE -> words a minute heard (uncalibrated); at the slowest rate with a word gap of 10\n");
    for (const test::Prose& prose : test::kProse) {
        const EspeakVoice voice(QString::fromLatin1(prose.language));
        std::printf("  %s:", prose.language);
        EspeakVoice::Parameters p;
        for (const int rate : {80, 100, 130, 175, 250, 300, 350, 400, 450}) {
            p.wordsPerMinute = rate;
            std::printf(" {%d, %.1f}", rate, heardWordsPerMinute(voice, QString::fromUtf8(prose.text), p));
        }
        p.wordsPerMinute = 80;
        p.wordGap = 10;
        std::printf(" gap: %.1f\n", heardWordsPerMinute(voice, QString::fromUtf8(prose.text), p));
    }
    std::printf("base pitch -> median heard (uncalibrated)\n");
    for (const test::Prose& prose : test::kProse) {
        const EspeakVoice voice(QString::fromLatin1(prose.language));
        std::printf("  %s:", prose.language);
        for (const int base : {40, 50, 60, 80, 100, 150, 200, 300, 400}) {
            EspeakVoice::Parameters p;
            p.baseHz = base;
            p.topHz = int(base * 118.0 / 82.0 + 0.5);
            const Utterance u = voice.synthesizeWith(test::firstSentence(prose.text), p);
            std::printf(" {%d, %.1f}", base, test::medianPitchHz(u.samples, voice.sampleRate()));
        }
        std::printf("\n");
    }
    std::printf("words a minute asked -> heard (calibrated)\n");
    for (const test::Prose& prose : test::kProse) {
        const EspeakVoice voice(QString::fromLatin1(prose.language));
        std::printf("  %s:", prose.language);
        for (const int wpm : {50, 80, 100, 175, 250, 350}) {
            std::printf(" %d->%.1f", wpm, heardWordsPerMinute(voice, QString::fromUtf8(prose.text), wpm));
        }
        std::printf("\n");
    }
    std::printf("pitch asked -> median heard (calibrated)\n");
    for (const test::Prose& prose : test::kProse) {
        const EspeakVoice voice(QString::fromLatin1(prose.language));
        std::printf("  %s:", prose.language);
        for (const int hz : {50, 60, 80, 120, 200, 300, 400}) {
            VoiceSettings settings;
            settings.pitchHz = hz;
            const Utterance u = voice.synthesize(test::firstSentence(prose.text), settings);
            std::printf(" %d->%.1f", hz, test::medianPitchHz(u.samples, voice.sampleRate()));
        }
        std::printf("\n");
    }
}

double millisecondsOf(const auto& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

void latency() {
    struct Case {
        const char* language;
        const char* text;
    };
    // Some 100 characters each.
    const Case cases[] = {
        {"de", "Die Besitzerin, eine fröhliche Frau namens Klara, backt Brot und Kuchen für die ganze "
               "Nachbarschaft."},
        {"ja",
         "毎朝、角の小さなパン屋は日の出前に店を開けます。明るい店主のクララさんは、近所の人たちのためにパン"
         "やケーキを焼いています。"},
    };
    VoiceSettings settings;
    for (const Case& c : cases) {
        const EspeakVoice voice(QString::fromLatin1(c.language));
        const QString text = QString::fromUtf8(c.text);
        const double firstLoad = millisecondsOf([&] { voice.begin(text, settings); });
        std::vector<double> begins;
        std::vector<double> firstSamples;
        for (int i = 0; i < 20; ++i) {
            std::unique_ptr<SentenceSynthesis> sentence;
            begins.push_back(millisecondsOf([&] { sentence = voice.begin(text, settings); }));
            if (!sentence) {
                std::fprintf(stderr, "%s: nothing synthesised\n", c.language);
                return;
            }
            firstSamples.push_back(begins.back() + millisecondsOf([&] { sentence->read(1024); }));
        }
        std::sort(begins.begin(), begins.end());
        std::sort(firstSamples.begin(), firstSamples.end());
        std::printf("%s, %lld characters: first sentence (loads the language) %.2f ms; then begin() median "
                    "%.2f ms, first samples median %.2f ms\n",
                    c.language, static_cast<long long>(text.size()), firstLoad, begins[begins.size() / 2],
                    firstSamples[firstSamples.size() / 2]);
    }
    // What a change of voice costs: a one-word sentence in the same voice, at another pitch (another voice
    // file of the same language), then in this language after another one (its dictionary read again).
    struct Change {
        const char* language;
        const char* word;
    };
    const Change changes[] = {{"de", "Ja."}, {"fr", "Oui."}, {"cmn", "好。"}, {"ru", "Да."}};
    const EspeakVoice between(QStringLiteral("el"));
    for (const Change& c : changes) {
        const EspeakVoice voice(QString::fromLatin1(c.language));
        const QString word = QString::fromUtf8(c.word);
        VoiceSettings other = settings;
        other.pitchHz = settings.pitchHz + 7;
        voice.begin(word, settings);
        const double same = millisecondsOf([&] { voice.begin(word, settings); });
        const double pitch = millisecondsOf([&] { voice.begin(word, other); });
        between.begin(QStringLiteral("Ναι."), settings);
        const double language = millisecondsOf([&] { voice.begin(word, settings); });
        std::printf("%s, a one-word sentence: same voice %.2f ms, another pitch %.2f ms, back from another "
                    "language %.2f ms\n",
                    c.language, same, pitch, language);
    }
}

} // namespace

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "";
    if (!EspeakVoice::available()) {
        std::fprintf(stderr, "eSpeak NG cannot be loaded\n");
        return 1;
    }
    if (std::strcmp(what, "latency") != 0) {
        calibrate();
    }
    if (std::strcmp(what, "calibrate") != 0) {
        latency();
    }
    return 0;
}
