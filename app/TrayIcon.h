#pragma once

#include "AppIdentity.h"
#include "platform/NotificationArea.h"

#include <QIcon>
#include <QString>

namespace cw {

/// The window's mouse-message codes: the tray's events arrive at the window's handler as these, on the same
/// path as the pointer's x over the window's own surface.
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

/// The mouse-message code of a tray event.
int trayMessage(TrayEvent event);

/// The icon the main window puts in the notification area, filled once at start-up.
struct TrayIconData {
    QIcon icon;
    QString tip; ///< 64 characters: the visible tip, a NUL, then blanks.
};

/// The tray tip: the title, " v", the major number, ".", then minor and revision written together, a NUL, and
/// blanks up to 64 characters (a longer text is cut at 64).
QString trayTip(const AppIdentity& identity);

/// The main window's icon record: its icon and the tray tip.
TrayIconData makeTrayIconData(const QIcon& icon, const AppIdentity& identity);

/// Commands of notifyIcon().
enum class NotifyCommand { Add, Delete };

/// Shows the record's icon with its visible tip, or takes it away. Returns whether the notification area
/// accepted it; callers may ignore the result.
bool notifyIcon(INotificationArea& area, NotifyCommand command, const TrayIconData& data);

/// Whether a tray event brings the window back: a release directly after its own press, or a double-click.
bool trayEventActs(int code, int lastTrayMessage);

} // namespace cw
