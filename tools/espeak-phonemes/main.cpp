// espeak-phonemes: prints the phonemes eSpeak NG reports, in IPA, while it speaks, so the mouth table of
// tts/Mouths.cpp can be checked against what the voices really say.
//   espeak-phonemes VOICE TEXT...   each phoneme of the text as the voice speaks it, one a line
//   espeak-phonemes --table          "VOICE<tab>PHONEME" for every distinct phoneme of the paragraphs of
//                                    tests/tts/LanguageSamples.h, sorted (tests/tts/espeak-phonemes.tsv)
//   espeak-phonemes --letters        every distinct phoneme each voice of eSpeak NG says spelling the letters
//                                    of every script, with the first voice that said it
//                                    (tests/tts/espeak-letter-phonemes.tsv)
// A developer's tool: it is built only when libespeak-ng's development files are installed.
#include "LanguageSamples.h"

#include <espeak-ng/speak_lib.h>

#include <QChar>

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

// The letters of the scripts eSpeak NG reads, each a word of its own so that each voice names it (in its own
// language, or in the one it switches to for a script it does not read).
std::string lettersOfEveryScript() {
    struct Range {
        char32_t first, last, step;
    };
    constexpr Range ranges[] = {
        {U'a', U'z', 1},      {0x00E0, 0x00FF, 1},   {0x0100, 0x017F, 1},
        {0x03B1, 0x03C9, 1}, // Latin, Greek
        {0x0430, 0x045F, 1},  {0x0490, 0x04FF, 1},   {0x0561, 0x0586, 1},
        {0x05D0, 0x05EA, 1}, // Cyrillic, ...
        {0x0621, 0x064A, 1},  {0x0671, 0x06D3, 1},   {0x0905, 0x0939, 1},
        {0x0985, 0x09B9, 1}, // Arabic, Indic
        {0x0A05, 0x0A39, 1},  {0x0A85, 0x0AB9, 1},   {0x0B05, 0x0B39, 1},
        {0x0B85, 0x0BB9, 1},  {0x0C05, 0x0C39, 1},   {0x0C85, 0x0CB9, 1},
        {0x0D05, 0x0D39, 1},  {0x0D85, 0x0DC6, 1},   {0x0E01, 0x0E2E, 1},
        {0x10D0, 0x10F0, 1},  {0x1200, 0x1350, 8},   {0x1000, 0x1021, 1}, // Thai, ...
        {0x13A0, 0x13F4, 1},  {0x3041, 0x3096, 1},   {0x30A1, 0x30FA, 1}, // Cherokee, kana
        {0xAC00, 0xD7A3, 97}, {0x4E00, 0x9FA5, 211},                      // a sample of Hangul and Han
    };
    std::string text;
    const auto append = [&text](char32_t c) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else if (c < 0x800) {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | (c >> 12));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
        text += ' ';
    };
    for (const Range& range : ranges) {
        for (char32_t c = range.first; c <= range.last; c += range.step) {
            // Letters only: eSpeak NG 1.51 reads freed memory when a voice meets a code point left unassigned
            // in a script's block (U+0BAB in Tamil's, with any voice but Tamil).
            if (QChar::isLetter(c)) {
                append(c);
            }
        }
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const bool table = argc == 2 && std::strcmp(argv[1], "--table") == 0;
    const bool letters = argc == 2 && std::strcmp(argv[1], "--letters") == 0;
    if (!table && !letters && argc < 3) {
        std::fprintf(stderr, "usage: espeak-phonemes VOICE TEXT... | espeak-phonemes --table | --letters\n");
        return 2;
    }
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                          espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_PHONEME_IPA) <= 0) {
        std::fprintf(stderr, "eSpeak NG could not start\n");
        return 1;
    }
    espeak_SetSynthCallback(collectPhonemes);

    if (!table && !letters) {
        std::string text;
        for (int i = 2; i < argc; ++i) {
            text += (i > 2 ? " " : "") + std::string(argv[i]);
        }
        for (const std::string& phoneme : phonemesOf(argv[1], text)) {
            std::printf("%s\n", phoneme.c_str());
        }
        return 0;
    }

    std::set<std::pair<std::string, std::string>> heardByVoice;
    auto add = [&](const std::string& voice, std::string_view text) {
        for (const std::string& phoneme : phonemesOf(voice, text)) {
            heardByVoice.emplace(voice, phoneme);
        }
    };
    if (table) {
        for (const auto& sample : cw::tts::samples::kParagraphs) {
            add(std::string(sample.voice), sample.text);
        }
        for (const auto& sample : cw::tts::samples::kMixedParagraphs) {
            add(std::string(sample.voice), sample.text);
        }
    } else {
        // Choosing a voice rebuilds eSpeak NG's voice list: copy the names first.
        std::vector<std::string> voices;
        for (const espeak_VOICE** voice = espeak_ListVoices(nullptr); *voice != nullptr; ++voice) {
            const std::string identifier = (*voice)->identifier; // "gmw/en", "mb/mb-de1"
            if (!identifier.starts_with("mb/")) {                // MBROLA voices need MBROLA
                voices.push_back(identifier.substr(identifier.rfind('/') + 1));
            }
        }
        const std::string text = lettersOfEveryScript();
        for (const std::string& voice : voices) {
            add(voice, text);
        }
    }
    if (letters) {
        // Thousands of lines otherwise: each phoneme once, with the first voice that said it.
        std::set<std::string> seen;
        std::erase_if(heardByVoice, [&seen](const auto& heard) { return !seen.insert(heard.second).second; });
    }
    for (const auto& [voice, phoneme] : heardByVoice) {
        std::printf("%s\t%s\n", voice.c_str(), phoneme.c_str());
    }
    return 0;
}
