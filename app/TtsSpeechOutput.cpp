#include "TtsSpeechOutput.h"

#include "core/Trace.h"
#include "platform/audio/PulseOutput.h"
#include "speech/SpeechRequest.h"
#include "tts/SilentOutput.h"
#include "tts/SpeechEngine.h"

#include <QLoggingCategory>

namespace cw {

namespace {

Q_LOGGING_CATEGORY(lcSpeechOutput, "chatterwisp.audio")

// The speech engine behind the character's speech output.
class TtsSpeechOutput final : public character::SpeechOutput {
    Q_OBJECT
public:
    explicit TtsSpeechOutput(const character::VoiceDefaults& defaults)
        : audio_(makeSpeechAudioOutput(clock_, tts::SpeechEngine::defaultSampleRate())),
          engine_(clock_, *audio_) {
        // The engine takes the three defaults together; a character that gives only some of them gets those
        // as tags ahead of each request, where the request's own tags still win.
        if (!defaults.voice.isEmpty() && defaults.pitch > 0 && defaults.speed > 0)
            engine_.setDefaults(defaults.voice, defaults.pitch, defaults.speed);
        else
            prefix_ = defaultTags(defaults);
        connect(&engine_, &tts::SpeechEngine::started, this, &SpeechOutput::started);
        connect(&engine_, &tts::SpeechEngine::word, this, &SpeechOutput::word);
        connect(&engine_, &tts::SpeechEngine::mouth, this, &SpeechOutput::mouth);
        connect(&engine_, &tts::SpeechEngine::finished, this, &SpeechOutput::finished);
    }
    quint64 speak(const QString& taggedRequest) override {
        trace("speech handed to engine");
        return engine_.speak(prefix_ + taggedRequest);
    }
    void stop() override { engine_.stop(); }
    void setLanguageID(int languageId) override { engine_.setLanguageID(languageId); }

private:
    // In this order: the engine goes first, then the output it plays through, then their clock.
    SystemClock clock_;
    std::unique_ptr<AudioOutput> audio_;
    tts::SpeechEngine engine_;
    QString prefix_;
};

} // namespace

std::unique_ptr<character::SpeechOutput> makeSpeechOutput(const character::VoiceDefaults& defaults) {
    return std::make_unique<TtsSpeechOutput>(defaults);
}

std::unique_ptr<AudioOutput> makeSpeechAudioOutput(const Clock& clock, int sampleRate) {
    if (auto pulse = audio::PulseOutput::create(sampleRate)) {
        return pulse;
    }
    qCWarning(lcSpeechOutput) << "no sound server client could be started - speaking silently";
    return std::make_unique<tts::SilentOutput>(clock);
}

QString defaultTags(const character::VoiceDefaults& defaults) {
    QString tags;
    if (defaults.pitch > 0)
        tags += pitchTag(QString::number(defaults.pitch));
    if (defaults.speed > 0)
        tags += speedTag(QString::number(defaults.speed));
    return tags;
}

} // namespace cw

#include "TtsSpeechOutput.moc"
