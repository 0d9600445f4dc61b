#pragma once

#include <QIcon>
#include <QString>
#include <cstdint>
#include <functional>

namespace cw {

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

/// The desktop's notification area (system tray), holding at most one icon of this program.
class INotificationArea {
public:
    virtual ~INotificationArea() = default;

    /// Shows the program's icon with a tip; false when there is no notification area or it is already shown.
    virtual bool addIcon(const QIcon& icon, const QString& tip) = 0;
    /// Changes the shown icon and its tip; false when none is shown.
    virtual bool changeIcon(const QIcon& icon, const QString& tip) = 0;
    /// Takes the icon away; false when none is shown.
    virtual bool removeIcon() = 0;
    /// Receives the icon's mouse events as TrayMessage codes.
    virtual void setEventHandler(std::function<void(int mouseMessage)> handler) = 0;
};

/// The notification-icon record of the main window, in the field order the shell of its design expects.
struct TrayIconData {
    std::uint32_t cbSize = 0;
    std::uintptr_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    QIcon hIcon;
    QString szTip; ///< 64 characters: the visible tip, a NUL, then blanks.
};

/// Commands of notifyIcon().
enum class NotifyCommand { Add = 0, Modify = 1, Delete = 2 };

/// The main window's way of calling the notification area: the command and the record, as its design has it.
/// Returns whether the notification area accepted it; callers may ignore the result.
inline bool notifyIcon(INotificationArea& area, NotifyCommand command, const TrayIconData& data) {
    // The tip is kept as a fixed field: the visible text ends at the first NUL.
    const qsizetype nul = data.szTip.indexOf(QChar(0));
    const QString tip = nul < 0 ? data.szTip.trimmed() : data.szTip.left(nul);
    switch (command) {
    case NotifyCommand::Add:
        return area.addIcon(data.hIcon, tip);
    case NotifyCommand::Modify:
        return area.changeIcon(data.hIcon, tip);
    case NotifyCommand::Delete:
        return area.removeIcon();
    }
    return false;
}

} // namespace cw
