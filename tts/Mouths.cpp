#include "Mouths.h"

#include <array>
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

Mouth mouthForIpa(QByteArrayView phoneme) {
    // Placeholder until the IPA table lands: every phoneme half open.
    return phoneme.isEmpty() ? Mouth::Closed : Mouth::Wide2;
}

} // namespace cw::tts
