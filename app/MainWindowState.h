#pragma once

#include "TrayIcon.h"
#include "speech/SpeechState.h"

#include <cstdint>

namespace cw {

/// The main window's run-time state, shared by its handlers; the speech commands get its SpeechState part.
struct MainWindowState : SpeechState {
    /// What the user last asked for with the Hide/Show button (not read back from the character).
    VariantFlag CharacterVisible;
    /// The notification-icon record, filled once at start-up.
    struct TrayIconData TrayIconData;
    /// The code of the latest notification-icon or pointer event.
    std::int32_t LastTrayMessage = 0;
};

} // namespace cw
