#pragma once

#include "Voice.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <vector>

namespace cw::tts {

/// A flite voice in this process. flite keeps global state, so every call into it is serialised here.
class FliteVoice final : public Voice {
public:
    /// The voices built in, the default first.
    static QStringList names();

    /// The named voice (an unknown or empty name: the default voice); flite loads it on first synthesis.
    explicit FliteVoice(const QString& name = {});

    QString name() const override { return name_; }
    int sampleRate() const override;
    int naturalPitchHz() const override;
    int naturalWordsPerMinute() const override;
    bool load() const override;
    /// The whole sentence is made at once (flite is some 2,000 times faster than real time), whispered by a
    /// filter when the character asks for it.
    std::unique_ptr<SentenceSynthesis> begin(const QString& text, const VoiceSettings& voice) const override;

    /// The settings flite itself takes.
    struct Parameters {
        double f0Mean = 100;  ///< int_f0_target_mean, hertz
        double f0Stddev = 11; ///< int_f0_target_stddev, hertz
        double stretch = 1.0; ///< duration_stretch
    };

    /// The flite parameters for `voice`: calibrated pitch target and stretch, emphasis and monotone applied.
    Parameters parametersFor(const VoiceSettings& voice) const;
    /// Synthesises with flite's own parameters, uncalibrated; for measuring the voice.
    Utterance synthesizeWith(const QString& text, const Parameters& parameters) const;

    /// The flite settings that make this voice reach the requested pitch and speed.
    double f0TargetFor(int pitchHz) const;
    double durationStretchFor(int wordsPerMinute) const;

    /// flite's own voice, registered on first use (null when it cannot be); for its front end. Call with
    /// fliteLock() held.
    void* handle() const;

private:
    QString name_;
    mutable void* voice_ = nullptr; ///< registered on first use; flite keeps it for the process
    int index_ = 0;
};

/// flite reads 8-bit text; characters beyond Latin-1 become blanks rather than garbage.
QByteArray toFliteText(const QString& text);

/// flite keeps global state: every call into it, by any voice, holds this lock.
QMutex& fliteLock();

} // namespace cw::tts
