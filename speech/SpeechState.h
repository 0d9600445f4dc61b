#pragma once

#include "platform/CharacterService.h"

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

inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

/// The part of the main window's state the speech commands read and write; the window owns it and hands it
/// in.
struct SpeechState {
    /// The loaded character; set once during start-up.
    ICharacter* Character = nullptr;
    /// Whether the text box has changed since start-up finished.
    VariantFlag TextChanged;
    /// Clipboard monitoring switch: -1 on, 0 off.
    std::int16_t MonitorClipboard = 0;

    /// Whether clipboard monitoring is on, for code that works in Booleans.
    bool monitoringClipboard() const { return MonitorClipboard == kTrue; }
    /// Switches clipboard monitoring on or off.
    void setMonitoringClipboard(bool on) { MonitorClipboard = on ? kTrue : kFalse; }
};

} // namespace cw
