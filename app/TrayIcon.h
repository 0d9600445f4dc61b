#pragma once

#include "AppIdentity.h"
#include "platform/NotificationArea.h"

#include <QIcon>
#include <optional>

namespace cw {

/// The tray tip: the title, " v", the major number, ".", then minor and revision written together, a NUL, and
/// blanks up to 64 characters (a longer text is cut at 64).
QString trayTip(const AppIdentity& identity);

/// The notification-icon record of the main window: size 88, id 1, flags 7 (message, icon, tip), callback
/// message 512 (mouse move).
TrayIconData makeTrayIconData(std::uintptr_t window, const QIcon& icon, const AppIdentity& identity);

/// Whether a tray event brings the window back: a release directly after its own press, or a double-click.
bool trayEventActs(int code, int lastTrayMessage);

} // namespace cw
