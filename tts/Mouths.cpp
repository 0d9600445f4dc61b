#include "Mouths.h"

#include <QList>
#include <QString>

#include <array>
#include <string_view>
#include <utility>

namespace cw::tts {

Mouth mouthForPhone(QByteArrayView phone) {
    // Lips shut for silence and the bilabials; open widest for the open vowels; rounded lips narrow.
    static constexpr std::array<std::pair<const char*, Mouth>, 42> kTable = {{
        {"pau", Mouth::Closed}, {"b", Mouth::Closed},   {"m", Mouth::Closed},  {"p", Mouth::Closed},
        {"aa", Mouth::Wide4},   {"ae", Mouth::Wide4},   {"ay", Mouth::Wide4},  {"aw", Mouth::Wide4},
        {"ah", Mouth::Wide3},   {"eh", Mouth::Wide3},   {"ey", Mouth::Wide3},  {"hh", Mouth::Wide3},
        {"ax", Mouth::Wide2},   {"ih", Mouth::Wide2},   {"iy", Mouth::Wide2},  {"y", Mouth::Wide2},
        {"k", Mouth::Wide2},    {"g", Mouth::Wide2},    {"ng", Mouth::Wide2},  {"t", Mouth::Wide1},
        {"d", Mouth::Wide1},    {"n", Mouth::Wide1},    {"s", Mouth::Wide1},   {"z", Mouth::Wide1},
        {"l", Mouth::Wide1},    {"th", Mouth::Wide1},   {"dh", Mouth::Wide1},  {"ao", Mouth::Medium},
        {"er", Mouth::Medium},  {"axr", Mouth::Medium}, {"r", Mouth::Medium},  {"uh", Mouth::Medium},
        {"ch", Mouth::Medium},  {"jh", Mouth::Medium},  {"sh", Mouth::Medium}, {"zh", Mouth::Medium},
        {"ow", Mouth::Narrow},  {"oy", Mouth::Narrow},  {"uw", Mouth::Narrow}, {"w", Mouth::Narrow},
        {"f", Mouth::Narrow},   {"v", Mouth::Narrow},
    }};
    for (const auto& [name, shape] : kTable) {
        if (phone == QByteArrayView(name)) {
            return shape;
        }
    }
    return phone.isEmpty() || phone == "h#" || phone == "brth" ? Mouth::Closed : Mouth::Wide2;
}

namespace {

// Each base symbol of the IPA (and the few ASCII names eSpeak NG uses where a phoneme has no IPA symbol), by
// where the lips and jaw are when it is made. Closed: lips together. Narrow: lips rounded, or teeth on the
// lower lip (as flite's f, v, ow, uw). Wide4: jaw open. Wide3: half open, spread. Wide2: close and spread,
// the tongue working at the palate or further back. Wide1: teeth almost together, the tongue at them.
// Medium: lips pushed out a little (hushing sibilants, the English r, r-coloured vowels).
constexpr std::array<std::pair<Mouth, std::u32string_view>, 13> kIpaShapes = {{
    {Mouth::Closed, U"pbmɓʘʙɸβ"},         // bilabial stops, nasal, implosive, click, trill, fricatives
    {Mouth::Narrow, U"uyoøɔʊʏɵʉœɞ"},      // rounded vowels
    {Mouth::Narrow, U"wʍɥfvʋɱ"},          // labial approximants, labiodentals
    {Mouth::Wide4, U"aɑæɐɒɶ"},            // open vowels
    {Mouth::Wide3, U"eɛεəɜʌɘɤ"},          // open-mid and mid vowels
    {Mouth::Wide3, U"hɦʔħʕʜʢʡ"},          // glottals and pharyngeals take the vowel's open mouth
    {Mouth::Wide2, U"iɪɨᵻɯjʝçcɟɲʎ"},      // close spread vowels, palatals
    {Mouth::Wide2, U"kgɡŋxɣɰʟqɢɴχʁʀɠʛ"},  // velars, uvulars
    {Mouth::Wide1, U"tdnszlɾrθðɫɬɮɺɗʦʣ"}, // dentals, alveolars
    {Mouth::Wide1, U"ʈɖɳɭɽǀǃǂǁ"},         // retroflex stops, nasal, lateral, flap; clicks of the tongue
    {Mouth::Medium, U"ʃʒɕʑʂʐɧʧʤʨʥ"},      // postalveolar, alveolo-palatal and retroflex sibilants
    {Mouth::Medium, U"ɹɻɚɝ"},             // the English r, r-coloured vowels
    {Mouth::Wide2, U"?"},                 // eSpeak NG's name for a phoneme it has no symbol for: neutral
}};

// eSpeak NG's ASCII names (Kirshenbaum's) for the phonemes it has no IPA name for, in capitals.
constexpr std::array<std::pair<char32_t, char32_t>, 20> kAsciiNames = {{
    {U'A', U'ɑ'}, {U'B', U'β'}, {U'C', U'ç'}, {U'D', U'ð'}, {U'E', U'ɛ'}, {U'G', U'ɣ'}, {U'I', U'ɪ'},
    {U'J', U'ʝ'}, {U'L', U'ɫ'}, {U'N', U'ŋ'}, {U'O', U'ɔ'}, {U'Q', U'ɒ'}, {U'R', U'ʁ'}, {U'S', U'ʃ'},
    {U'T', U'θ'}, {U'U', U'ʊ'}, {U'V', U'ʌ'}, {U'W', U'œ'}, {U'X', U'x'}, {U'Z', U'ʒ'},
}};

std::optional<Mouth> baseShape(char32_t symbol) {
    for (const auto& [ascii, ipa] : kAsciiNames) {
        if (ascii == symbol) {
            symbol = ipa;
            break;
        }
    }
    for (const auto& [shape, symbols] : kIpaShapes) {
        if (symbols.find(symbol) != std::u32string_view::npos) {
            return shape;
        }
    }
    return std::nullopt;
}

// Marks that ride on a base symbol without moving the lips or jaw: stress, length, tones, tie bars,
// diacritics (nasal, syllabic, dental, raised...), and the digits and punctuation of eSpeak NG's ASCII names.
bool isModifier(char32_t c) {
    return (c >= 0x02B0 && c <= 0x02FF) || // spacing modifier letters: ʰ ʲ ˈ ː ˞ ˥ ...
           (c >= 0x0300 && c <= 0x036F) || // combining diacritics and tie bars
           (c >= 0x1D2C && c <= 0x1D6A) || // modifier letters: ᵝ ...
           (c >= 0x1D9B && c <= 0x1DBF) || (c >= 0x1DC0 && c <= 0x1DFF) ||         // more of both
           (c >= 0x2070 && c <= 0x209F) ||                                         // superscripts: ⁿ
           (c < 0x80 && c != U'?' && !((c | 0x20) >= U'a' && (c | 0x20) <= U'z')); // digits, - . ' etc.
}

bool isSibilantAfterStop(char32_t c) {
    return c == U'ʃ' || c == U'ʒ' || c == U'ɕ' || c == U'ʑ' || c == U'ʂ' || c == U'ʐ';
}

} // namespace

std::optional<Mouth> ipaMouthEntry(QByteArrayView phoneme) {
    if (phoneme.isEmpty()) {
        return Mouth::Closed; // a pause
    }
    if (phoneme.startsWith('(') && phoneme.endsWith(')')) {
        return Mouth::Closed; // "(en)": eSpeak NG switching language between words
    }
    // Decomposed, so a precomposed "ã" is an "a" with a nasal mark.
    const QList<uint> symbols = QString::fromUtf8(phoneme).normalized(QString::NormalizationForm_D).toUcs4();
    for (qsizetype i = 0; i < symbols.size(); ++i) {
        const char32_t c = symbols[i];
        if (isModifier(c)) {
            continue;
        }
        const std::optional<Mouth> shape = baseShape(c);
        if (!shape) {
            return std::nullopt;
        }
        // What follows may change the picture: r-colouring, or a stop that opens into a hushing sibilant
        // (t͡ʃ, dʒ, tɕ: their mouth is the sibilant's, as flite's ch and jh), or eSpeak NG's ASCII retroflex
        // mark ("s.", "ts.h": the tongue curled back, as ʂ).
        bool coronal = *shape == Mouth::Wide1;
        for (qsizetype j = i + 1; j < symbols.size(); ++j) {
            const char32_t next = symbols[j];
            if (next == 0x02DE) { // ˞ rhotic hook
                return Mouth::Medium;
            }
            if (coronal && (next == U'.' || isSibilantAfterStop(next))) {
                return Mouth::Medium;
            }
            if (next == U's' || next == U'z') {
                continue; // ts. : the mark may follow the affricate's second part
            }
            if (!isModifier(next)) {
                coronal = false;
            }
        }
        return shape;
    }
    // Nothing but marks. A raised nasal left on its own (prenasalisation) is that nasal; anything else (a j
    // of palatalisation, a tone, a length) rides on a sound around it: half open, neutral.
    for (const uint c : symbols) {
        switch (c) {
        case U'ᵐ':
            return Mouth::Closed;
        case U'ⁿ':
            return Mouth::Wide1;
        case U'ᵑ':
            return Mouth::Wide2;
        default:
            break;
        }
    }
    return Mouth::Wide2;
}

Mouth mouthForIpa(QByteArrayView phoneme) {
    return ipaMouthEntry(phoneme).value_or(Mouth::Wide2);
}

} // namespace cw::tts
