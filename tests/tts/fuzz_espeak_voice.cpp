// Fuzz target: any bytes as a tagged request spoken by an eSpeak NG voice (its language picked by the first
// byte): eSpeak NG and the voice's placing of words and phones must never crash on what the tags and the text
// make of it, and every event must fall inside the audio and the balloon text.
#include "tts/EspeakVoice.h"
#include "tts/RequestSynthesizer.h"
#include "tts/SpeechTags.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace cw::tts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::unique_ptr<EspeakVoice>, 6> voices = [] {
        if (!EspeakVoice::available()) {
            std::abort(); // nothing would be tested
        }
        std::array<std::unique_ptr<EspeakVoice>, 6> made;
        const char* languages[] = {"fr", "ru", "cmn", "ar", "he", "ja"};
        for (std::size_t i = 0; i < made.size(); ++i) {
            made[i] = std::make_unique<EspeakVoice>(QString::fromLatin1(languages[i]));
        }
        return made;
    }();
    const EspeakVoice& voice = *voices[size > 0 ? data[0] % voices.size() : 0];
    const QString request = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    VoiceSettings defaults;
    defaults.pitchHz = voice.naturalPitchHz();
    defaults.wordsPerMinute = voice.naturalWordsPerMinute();
    RequestSynthesizer synth(voice, parseSpeechTags(request, defaults));
    const int balloon = int(synth.request().balloonText.size());
    qint64 samples = 0;
    QList<TimelineEvent> events;
    // Some four seconds of speech at most (a tenth of a second a piece), so no input takes long.
    for (int piece = 0; piece < 40 && !synth.atEnd(); ++piece) {
        const SynthChunk chunk = synth.next();
        samples += qint64(chunk.samples.size());
        events << chunk.events;
    }
    // A sentence's events come with its first piece, so they may lie ahead of what was made when it was cut.
    for (const TimelineEvent& e : events) {
        if (e.sample < 0 || (synth.atEnd() && e.sample > samples) || e.start < 0 || e.length < 0 ||
            e.start + e.length > balloon) {
            std::abort();
        }
    }
    return 0;
}
