#pragma once

#include "SpeechTags.h"
#include "Timeline.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace cw::tts {

/// One chunk as the synthesiser made it.
struct Utterance {
    struct Token {
        QString name; ///< the token's text without its punctuation
        qint64 start = 0;
    };
    std::vector<qint16> samples;
    QList<ChunkTiming::Phone> phones; ///< ends in samples
    QList<Token> tokens;              ///< the tokens that were spoken, with their first sample
};

/// A flite voice in this process. flite keeps global state, so every call into it is serialised here.
class FliteVoice {
public:
    /// The voices built in, the default first.
    static QStringList names();

    /// The named voice (an unknown or empty name: the default voice); flite loads it on first synthesis.
    explicit FliteVoice(const QString& name = {});

    QString name() const { return name_; }
    int sampleRate() const;
    /// The pitch and speed the voice has when nothing sets them.
    int naturalPitchHz() const;
    int naturalWordsPerMinute() const;

    /// The settings flite itself takes.
    struct Parameters {
        double f0Mean = 100;  ///< int_f0_target_mean, hertz
        double f0Stddev = 11; ///< int_f0_target_stddev, hertz
        double stretch = 1.0; ///< duration_stretch
    };

    /// Synthesises one chunk of text with the pitch, speed and character of `voice` (volume is not applied).
    Utterance synthesize(const QString& text, const VoiceSettings& voice) const;
    /// The flite parameters for `voice`: calibrated pitch target and stretch, emphasis and monotone applied.
    Parameters parametersFor(const VoiceSettings& voice) const;
    /// Synthesises with flite's own parameters, uncalibrated; for measuring the voice.
    Utterance synthesizeWith(const QString& text, const Parameters& parameters) const;

    /// The flite settings that make this voice reach the requested pitch and speed.
    double f0TargetFor(int pitchHz) const;
    double durationStretchFor(int wordsPerMinute) const;

private:
    QString name_;
    mutable void* voice_ = nullptr; ///< registered on first use; flite keeps it for the process
    int index_ = 0;
};

} // namespace cw::tts
