#include "Languages.h"

#include "MultilingualVoice.h"

namespace cw::tts {

std::unique_ptr<Voice> makeSpeakingVoice(const QString& name) {
    return std::make_unique<MultilingualVoice>(
        makeVoice(name), [](const QString&) -> std::unique_ptr<Voice> { return nullptr; });
}

FindLanguage paragraphLanguageFinder() {
    return [](QStringView) { return ParagraphLanguage{}; };
}

QString startingLanguage() {
    return QStringLiteral("en");
}

} // namespace cw::tts
