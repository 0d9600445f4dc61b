#pragma once

#include "FliteVoice.h"
#include "Voice.h"

#include <QString>

namespace cw::tts {

struct HtsControl;
struct HtsFrames;
struct HtsLabelling;

/// The genie's natural voice: a statistical (HTS) voice, trained on a speaker of US English, driven by
/// flite's front end (our own full-context labels) and vocoded frame by frame, so a sentence starts to sound
/// as soon as its first frames are made.
class HtsVoice final : public Voice {
public:
    static inline const QString kName = QStringLiteral("slt-hts");
    /// Where the voice file is looked for: $CHATTERWISP_HTS_VOICE, else where Debian's festvox-us-slt-hts
    /// puts it.
    static QString voiceFile();
    /// Whether the voice file is there.
    static bool available();

    /// The all-pass constant that gives the voice its male timbre (the voice's own is 0.45), chosen by
    /// measuring formants; see docs/speech-tags.md.
    static constexpr double kMaleAlpha = 0.53;

    QString name() const override { return kName; }
    int sampleRate() const override;
    int naturalPitchHz() const override;
    int naturalWordsPerMinute() const override;
    bool load() const override;
    std::unique_ptr<SentenceSynthesis> begin(const QString& text, const VoiceSettings& voice) const override;

    /// What the engine is asked for `voice`: pitch moved to the request, speed, monotone, whisper.
    HtsControl controlFor(const VoiceSettings& voice) const;
    /// The all-pass constant the vocoder uses; `kMaleAlpha` unless set, for measuring.
    void setAlpha(double alpha) { alpha_ = alpha; }
    /// How many of the sentence's frames the vocoder voices (pulses, not noise), and how many there are; for
    /// measuring.
    std::pair<int, int> voicedFrames(const QString& text, const VoiceSettings& voice) const;
    /// Whether voiced frames take their sound above 5 kHz from noise (the default), softening the buzz of the
    /// pulses' harmonics up there; off, the sound is the engine vocoder's own.
    void setBuzzReduction(bool on) { buzzReduction_ = on; }
    /// The whole sentence as the HTS engine itself makes it, for checking the frame-wise path against.
    std::vector<qint16> engineWaveform(const QString& text, const VoiceSettings& voice) const;

private:
    /// The labels and frames of a sentence; false when nothing could be made of it.
    bool framesFor(const QString& text, const VoiceSettings& voice, HtsLabelling& labelling,
                   HtsFrames& frames) const;
    /// The engine, loaded once; null when it cannot be (logged once). Call with fliteLock() held.
    void* engine() const;

    FliteVoice frontEnd_; ///< its lexicon, letter-to-sound rules and phrasing make the labels
    mutable void* engine_ = nullptr;
    double alpha_ = kMaleAlpha;
    bool buzzReduction_ = true;
};

} // namespace cw::tts
