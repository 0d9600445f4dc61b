#include "FailureReport.h"

#include "AppIdentity.h"

namespace cw {

QString failureReportText(const QString& reason) {
    return QStringLiteral("%1 has to close because an operation failed.\n\n%2")
        .arg(appIdentity().title,
             reason.trimmed().isEmpty() ? QStringLiteral("No reason was given.") : reason);
}

void reportFailure(const QString& reason, IMessageBoxes& messageBoxes, INotificationArea& notificationArea,
                   const TrayIconData& trayIcon) {
    messageBoxes.show(failureReportText(reason), kMbIconCritical, appIdentity().title);
    notificationArea.notifyIcon(NotifyCommand::Delete, trayIcon);
}

} // namespace cw
