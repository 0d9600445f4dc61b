#pragma once

#include "platform/MessageBoxes.h"
#include "platform/NotificationArea.h"

#include <QString>

namespace cw {

/// The text of the one error report the program shows before it ends because an operation failed.
QString failureReportText(const QString& reason);

/// Shows the error report (a critical message box titled with the program's title) and takes the tray icon
/// away. The caller then ends the program with a non-zero status, without the normal shutdown.
void reportFailure(const QString& reason, IMessageBoxes& messageBoxes, INotificationArea& notificationArea,
                   const TrayIconData& trayIcon);

} // namespace cw
