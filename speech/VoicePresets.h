#pragma once

#include <QString>
#include <array>
#include <optional>

namespace cw {

/// One voice preset: the texts it writes into the pitch (hertz) and speed (words per minute) fields.
struct VoicePreset {
    const char* pitch;
    const char* speed;
};

/// The four presets, by option-button index 0 to 3.
inline constexpr std::array<VoicePreset, 4> kVoicePresets{{
    {"60", "100"},
    {"50", "350"},
    {"200", "250"},
    {"300", "50"},
}};

/// The preset at an option-button index, or none for an index outside 0 to 3.
inline std::optional<VoicePreset> voicePreset(int index) {
    if (index < 0 || index >= static_cast<int>(kVoicePresets.size())) {
        return std::nullopt;
    }
    return kVoicePresets[static_cast<std::size_t>(index)];
}

} // namespace cw
