#pragma once

#include "Voice.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace cw::tts {

class Resampler;

/// Speaks each sentence with the voice of its language (VoiceSettings::language): English, and anything not
/// decided, with the genie's own voice; any other language with the voice `voiceForLanguage` makes for it, at
/// the same pitch and speed, brought to the own voice's sample rate. A language with no voice speaks with the
/// own voice, so no text is lost.
class MultilingualVoice final : public Voice {
public:
    /// Makes the voice for a language (not English); null when there is none. Called on the synthesis thread,
    /// at most once per language.
    using VoiceMaker = std::function<std::unique_ptr<Voice>(const QString& language)>;

    MultilingualVoice(std::unique_ptr<Voice> own, VoiceMaker voiceForLanguage);
    ~MultilingualVoice() override;

    QString name() const override { return own_->name(); }
    QString nameFor(const VoiceSettings& voice) const override { return voiceFor(voice.language).name(); }
    int sampleRate() const override { return own_->sampleRate(); }
    int naturalPitchHz() const override { return own_->naturalPitchHz(); }
    int naturalWordsPerMinute() const override { return own_->naturalWordsPerMinute(); }
    bool load() const override { return own_->load(); }
    std::unique_ptr<SentenceSynthesis> begin(const QString& text, const VoiceSettings& voice) const override;

    /// The voice that speaks `language` ("fr", "de"; empty or "en": the own voice), made on first need.
    const Voice& voiceFor(const QString& language) const;

private:
    std::unique_ptr<Voice> own_;
    VoiceMaker voiceForLanguage_;
    mutable std::map<QString, std::unique_ptr<Voice>> others_;     ///< null where a language has no voice
    mutable std::map<int, std::unique_ptr<Resampler>> resamplers_; ///< by the rate they convert from
};

} // namespace cw::tts
