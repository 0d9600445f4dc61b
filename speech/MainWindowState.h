#pragma once

#include "platform/CharacterService.h"
#include "platform/NotificationArea.h"

#include <cstdint>
#include <optional>

namespace cw {

/// A Boolean kept in a variant: before anything assigns it, it holds no value, which compares equal to False
/// and unequal to True.
class VariantFlag {
public:
    VariantFlag& operator=(bool value) {
        value_ = value;
        return *this;
    }
    bool isTrue() const { return value_.value_or(false); }
    bool isFalse() const { return !isTrue(); }
    bool hasValue() const { return value_.has_value(); }

private:
    std::optional<bool> value_;
};

/// The main window's run-time state, shared by its handlers.
struct MainWindowState {
    /// The loaded character; set once during start-up.
    ICharacter* Character = nullptr;
    /// What the user last asked for with the Hide/Show button (not read back from the character).
    VariantFlag CharacterVisible;
    /// Whether the text box has changed since start-up finished.
    VariantFlag TextChanged;
    /// Clipboard monitoring switch: -1 on, 0 off.
    std::int16_t MonitorClipboard = 0;
    /// The notification-icon record, filled once at start-up.
    struct TrayIconData TrayIconData;
    /// The code of the latest notification-icon or pointer event.
    std::int32_t LastTrayMessage = 0;

    /// Whether clipboard monitoring is on, for code that works in Booleans.
    bool monitoringClipboard() const;
    /// Switches clipboard monitoring on or off.
    void setMonitoringClipboard(bool on);
};

inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

inline bool MainWindowState::monitoringClipboard() const {
    return MonitorClipboard == kTrue;
}

inline void MainWindowState::setMonitoringClipboard(bool on) {
    MonitorClipboard = on ? kTrue : kFalse;
}

} // namespace cw
