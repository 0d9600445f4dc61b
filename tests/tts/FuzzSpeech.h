#pragma once

// What the voice fuzz targets check: a tagged request spoken by a voice never crashes, and every event falls
// inside the audio and the balloon text.

#include "tts/RequestSynthesizer.h"
#include "tts/SpeechTags.h"
#include "tts/Voice.h"

#include <cstdlib>

namespace cw::tts::test {

/// Speaks `request` with `voice` at its natural pitch and speed, some four seconds at most (a tenth of a
/// second a piece), and aborts when an event lies outside what was made.
inline void speakAndCheckEvents(const Voice& voice, const QString& request) {
    VoiceSettings defaults;
    defaults.pitchHz = voice.naturalPitchHz();
    defaults.wordsPerMinute = voice.naturalWordsPerMinute();
    RequestSynthesizer synth(voice, parseSpeechTags(request, defaults));
    const int balloon = int(synth.request().balloonText.size());
    qint64 samples = 0;
    QList<TimelineEvent> events;
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
}

} // namespace cw::tts::test
