#include "Voice.h"

#include "FliteVoice.h"
#include "HtsVoice.h"

#include <QLoggingCategory>
#include <algorithm>

namespace cw::tts {

Q_DECLARE_LOGGING_CATEGORY(lcTts)

void SentenceSynthesis::skipTo(qint64 sample) {
    position_ = std::clamp(sample, position_, length_);
}

std::vector<qint16> SentenceSynthesis::read(qint64 max) {
    const qint64 count = std::clamp<qint64>(max, 0, length_ - position_);
    std::vector<qint16> out(std::size_t(count), 0);
    if (count > 0) {
        produce(position_, count, out.data());
        position_ += count;
    }
    return out;
}

Utterance Voice::synthesize(const QString& text, const VoiceSettings& voice) const {
    Utterance out;
    const std::unique_ptr<SentenceSynthesis> sentence = begin(text, voice);
    if (!sentence) {
        return out;
    }
    out.phones = sentence->phones();
    out.tokens = sentence->tokens();
    out.samples = sentence->read(sentence->length());
    return out;
}

QStringList voiceNames() {
    // Looked for once per process, from whichever thread asks first: the choice, and its one log line, hold
    // for the program's life.
    static const QStringList names = [] {
        if (HtsVoice::available()) {
            return QStringList{HtsVoice::kName} + FliteVoice::names();
        }
        qCInfo(lcTts).noquote() << "the natural voice's file" << HtsVoice::voiceFile()
                                << "is not installed (package festvox-us-slt-hts): speaking with"
                                << FliteVoice::names().front();
        return FliteVoice::names();
    }();
    return names;
}

std::unique_ptr<Voice> makeVoice(const QString& name) {
    const QStringList names = voiceNames();
    const QString chosen = names.contains(name) ? name : names.front();
    if (chosen == HtsVoice::kName) {
        return std::make_unique<HtsVoice>();
    }
    return std::make_unique<FliteVoice>(chosen);
}

} // namespace cw::tts
