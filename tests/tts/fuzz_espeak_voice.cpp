// Fuzz target: any bytes as a tagged request spoken by an eSpeak NG voice (its language picked by the first
// byte): eSpeak NG and the voice's placing of words and phones must never crash on what the tags and the text
// make of it, and every event must fall inside the audio and the balloon text.
#include "FuzzSpeech.h"
#include "tts/EspeakVoice.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace cw::tts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::unique_ptr<EspeakVoice>, 6> voices = [] {
        if (!EspeakVoice::available()) {
            std::abort(); // nothing would be tested
        }
        std::array<std::unique_ptr<EspeakVoice>, 6> made;
        const char* languages[] = {"fr", "ru", "cmn", "ar", "he", "ja"};
        for (std::size_t i = 0; i < made.size(); ++i) {
            made[i] = std::make_unique<EspeakVoice>(QString::fromLatin1(languages[i]));
        }
        return made;
    }();
    const EspeakVoice& voice = *voices[size > 0 ? data[0] % voices.size() : 0];
    const QString request = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    test::speakAndCheckEvents(voice, request);
    return 0;
}
