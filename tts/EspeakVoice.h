#pragma once

#include "Voice.h"

#include <QString>
#include <QStringList>

namespace cw::tts {

/// One language of eSpeak NG (the voices of every language but English). eSpeak NG lives in a module loaded
/// on first use, on the calling thread; it keeps global state, so the module serialises every call into it.
class EspeakVoice final : public Voice {
public:
    /// Whether eSpeak NG and its data can be loaded (loads them).
    static bool available();
    /// The languages espeak-ng-data offers, by the names the constructor takes ("fr", "de", "cmn"...); loads
    /// eSpeak NG.
    static QStringList languages();

    /// The voice of eSpeak NG's `language` ("fr", "ru", "ja"); eSpeak NG loads it on first synthesis.
    explicit EspeakVoice(const QString& language);

    QString language() const { return language_; }
    QString name() const override { return QStringLiteral("espeak-ng/") + language_; }
    int sampleRate() const override;
    int naturalPitchHz() const override;
    int naturalWordsPerMinute() const override;
    /// Reads the language's dictionary; false (logged once) without the module, eSpeak NG's data or this
    /// language.
    bool load() const override;
    /// The whole sentence is made at once (some 2 ms for 100 characters), whispered by a filter when the
    /// character asks for it.
    std::unique_ptr<SentenceSynthesis> begin(const QString& text, const VoiceSettings& voice) const override;

    /// What eSpeak NG is told for one sentence.
    struct Parameters {
        int baseHz = 100;         ///< the voice file's pitch line: the bottom of the intonation...
        int topHz = 144;          ///< ...and its top
        int wordsPerMinute = 175; ///< espeakRATE
        int wordGap = 0;          ///< espeakWORDGAP: pauses between words, slower than its slowest rate
        bool monotone = false;
    };
    /// The parameters for `voice`: calibrated pitch and speed, emphasis and monotone applied.
    Parameters parametersFor(const VoiceSettings& voice) const;
    /// Synthesises with eSpeak NG's own parameters, uncalibrated; for measuring the voice.
    Utterance synthesizeWith(const QString& text, const Parameters& parameters) const;

private:
    /// Whether eSpeak NG has this language; logs once per language when it has not.
    bool speaks() const;

    QString language_;
};

} // namespace cw::tts
