#include "Languages.h"

#include "EspeakVoice.h"
#include "LanguageFinder.h"
#include "MultilingualVoice.h"

namespace cw::tts {

std::unique_ptr<Voice> makeSpeakingVoice(const QString& name) {
    return std::make_unique<MultilingualVoice>(
        makeVoice(name), [](const QString& language) -> std::unique_ptr<Voice> {
            const QString espeakName = LanguageFinder::espeakVoiceFor(language);
            if (espeakName.isEmpty()) {
                return nullptr;
            }
            auto voice = std::make_unique<EspeakVoice>(espeakName);
            if (!voice->load()) {
                return nullptr; // logged once by the voice; the genie's own voice reads it
            }
            return voice;
        });
}

FindLanguage paragraphLanguageFinder() {
    // Shared by the copies of the function object; the fingerprints are read on the first paragraph.
    auto finder = std::make_shared<LanguageFinder>();
    return [finder](QStringView paragraph) {
        const LanguageGuess guess = finder->find(paragraph);
        return ParagraphLanguage{guess.language, guess.confidence, guess.byScript};
    };
}

QString startingLanguage() {
    return LanguageFinder::desktopLanguage();
}

} // namespace cw::tts
