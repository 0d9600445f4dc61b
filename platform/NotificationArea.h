#pragma once

#include <QIcon>
#include <QString>
#include <cstdint>
#include <functional>

namespace cw {

/// The notification-icon record, in the field order the shell expects.
struct TrayIconData {
    std::uint32_t cbSize = 0;
    std::uintptr_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    QIcon hIcon;
    QString szTip; ///< 64 characters: the visible tip, a NUL, then blanks.
};

/// The icon's mouse events, as window-system mouse messages.
enum TrayMessage : int {
    kMouseMove = 512,
    kLeftButtonDown = 513,
    kLeftButtonUp = 514,
    kLeftButtonDoubleClick = 515,
    kRightButtonDown = 516,
    kRightButtonUp = 517,
    kMiddleButtonDown = 519,
    kMiddleButtonUp = 520,
};

/// Commands understood by INotificationArea::notifyIcon.
enum class NotifyCommand { Add = 0, Modify = 1, Delete = 2 };

/// The desktop's notification area (system tray).
class INotificationArea {
public:
    virtual ~INotificationArea() = default;

    /// Adds, changes or removes the icon the record describes. Returns whether the shell accepted it;
    /// callers may ignore the result.
    virtual bool notifyIcon(NotifyCommand command, const TrayIconData& data) = 0;
    /// Receives the icon's mouse events as TrayMessage codes.
    virtual void setEventHandler(std::function<void(int mouseMessage)> handler) = 0;
};

} // namespace cw
