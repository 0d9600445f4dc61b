#include "TtsSpeechOutput.h"

#include "platform/trace/Trace.h"
#include "platform/tts/SpeechEngine.h"

namespace cw::agent {

namespace {

Mouth characterMouth(tts::Mouth shape) {
    switch (shape) {
    case tts::Mouth::Closed:
        return Mouth::Closed;
    case tts::Mouth::Wide1:
        return Mouth::Wide1;
    case tts::Mouth::Wide2:
        return Mouth::Wide2;
    case tts::Mouth::Wide3:
        return Mouth::Wide3;
    case tts::Mouth::Wide4:
        return Mouth::Wide4;
    case tts::Mouth::Medium:
        return Mouth::Medium;
    case tts::Mouth::Narrow:
        return Mouth::Narrow;
    }
    return Mouth::Closed;
}

// The speech engine behind the character's speech output.
class TtsSpeechOutput final : public SpeechOutput {
    Q_OBJECT
public:
    explicit TtsSpeechOutput(const VoiceDefaults& defaults) {
        // The engine takes the three defaults together; a character that gives only some of them gets those
        // as tags ahead of each request, where the request's own tags still win.
        if (!defaults.voice.isEmpty() && defaults.pitch > 0 && defaults.speed > 0)
            engine_.setDefaults(defaults.voice, defaults.pitch, defaults.speed);
        else
            prefix_ = defaultTags(defaults);
        connect(&engine_, &tts::SpeechEngine::started, this, &SpeechOutput::started);
        connect(&engine_, &tts::SpeechEngine::word, this, &SpeechOutput::word);
        connect(&engine_, &tts::SpeechEngine::mouth, this,
                [this](quint64 id, tts::Mouth shape) { emit mouth(id, characterMouth(shape)); });
        connect(&engine_, &tts::SpeechEngine::finished, this, &SpeechOutput::finished);
    }
    quint64 speak(const QString& taggedRequest) override {
        trace("speech handed to engine");
        return engine_.speak(prefix_ + taggedRequest);
    }
    void stop() override { engine_.stop(); }
    void setLanguageID(int languageId) override { engine_.setLanguageID(languageId); }

private:
    tts::SpeechEngine engine_;
    QString prefix_;
};

} // namespace

std::unique_ptr<SpeechOutput> makeSpeechOutput(const VoiceDefaults& defaults) {
    return std::make_unique<TtsSpeechOutput>(defaults);
}

} // namespace cw::agent

#include "TtsSpeechOutput.moc"
