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

/// Commands understood by INotificationArea::notifyIcon.
enum class NotifyCommand { Add = 0, Modify = 1, Delete = 2 };

/// The desktop's notification area (system tray).
class INotificationArea {
public:
    virtual ~INotificationArea() = default;

    /// Adds, changes or removes the icon the record describes. Returns whether the shell accepted it;
    /// callers may ignore the result.
    virtual bool notifyIcon(NotifyCommand command, const TrayIconData& data) = 0;
    /// Receives the icon's mouse events as window-system mouse messages (513 left press, 514 left release,
    /// 515 left double-click, 516 right press, 517 right release).
    virtual void setEventHandler(std::function<void(int mouseMessage)> handler) = 0;
};

} // namespace cw
