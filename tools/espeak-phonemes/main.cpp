// espeak-phonemes: prints the phonemes eSpeak NG reports, in IPA, while it speaks, so the mouth table of
// tts/Mouths.cpp can be checked against what the voices really say.
//   espeak-phonemes VOICE TEXT...   each phoneme of the text as the voice speaks it, one a line
//   espeak-phonemes --table          "VOICE<tab>PHONEME" for every distinct phoneme of the paragraphs of
//                                    tests/tts/LanguageSamples.h, sorted (the data of tst_tts_language)
// A developer's tool: it is built only when libespeak-ng's development files are installed.
#include "LanguageSamples.h"

#include <espeak-ng/speak_lib.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::string>* heard = nullptr; // the phonemes of the text being spoken

int collectPhonemes(short*, int, espeak_EVENT* events) {
    for (espeak_EVENT* event = events; event->type != espeakEVENT_LIST_TERMINATED; ++event) {
        if (event->type == espeakEVENT_PHONEME && heard != nullptr) {
            // Zero-terminated unless the name fills all eight bytes.
            heard->emplace_back(event->id.string, strnlen(event->id.string, sizeof event->id.string));
        }
    }
    return 0; // go on
}

std::vector<std::string> phonemesOf(const std::string& voice, std::string_view text) {
    std::vector<std::string> phonemes;
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
        std::fprintf(stderr, "eSpeak NG has no voice %s\n", voice.c_str());
        return phonemes;
    }
    const std::string zeroTerminated(text);
    heard = &phonemes;
    espeak_Synth(zeroTerminated.c_str(), zeroTerminated.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                 nullptr, nullptr);
    espeak_Synchronize();
    heard = nullptr;
    return phonemes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "--table") != 0 && argc < 3)) {
        std::fprintf(stderr, "usage: espeak-phonemes VOICE TEXT... | espeak-phonemes --table\n");
        return 2;
    }
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                          espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_PHONEME_IPA) <= 0) {
        std::fprintf(stderr, "eSpeak NG could not start\n");
        return 1;
    }
    espeak_SetSynthCallback(collectPhonemes);

    if (std::strcmp(argv[1], "--table") != 0) {
        std::string text;
        for (int i = 2; i < argc; ++i) {
            text += (i > 2 ? " " : "") + std::string(argv[i]);
        }
        for (const std::string& phoneme : phonemesOf(argv[1], text)) {
            std::printf("%s\n", phoneme.c_str());
        }
        return 0;
    }

    std::set<std::pair<std::string, std::string>> table;
    auto add = [&](const cw::tts::samples::LanguageSample& sample) {
        const std::string voice(sample.voice);
        for (const std::string& phoneme : phonemesOf(voice, sample.text)) {
            table.emplace(voice, phoneme);
        }
    };
    for (const auto& sample : cw::tts::samples::kParagraphs) {
        add(sample);
    }
    for (const auto& sample : cw::tts::samples::kMixedParagraphs) {
        add(sample);
    }
    for (const auto& [voice, phoneme] : table) {
        std::printf("%s\t%s\n", voice.c_str(), phoneme.c_str());
    }
    return 0;
}
