#include "FailureReport.h"

#include "AppIdentity.h"
#include "core/Failure.h"

#include <QCoreApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcFailure, "chatterwisp.failure")

namespace cw {

QString failureReportText(const QString& reason) {
    return QStringLiteral("%1 has to close because an operation failed.\n\n%2")
        .arg(appIdentity().title,
             reason.trimmed().isEmpty() ? QStringLiteral("No reason was given.") : reason);
}

void reportFailure(const QString& reason, IMessageBoxes& messageBoxes, INotificationArea& notificationArea,
                   const TrayIconData& trayIcon) {
    messageBoxes.show(failureReportText(reason), MessageIcon::Critical, appIdentity().title);
    notifyIcon(notificationArea, NotifyCommand::Delete, trayIcon);
}

FailurePath::FailurePath(IMessageBoxes& messageBoxes, INotificationArea& notificationArea,
                         const TrayIconData& trayIcon, QObject* parent)
    : QObject(parent), messageBoxes_(messageBoxes), notificationArea_(notificationArea), trayIcon_(trayIcon) {
}

void FailurePath::fail(const QString& reason) {
    qCCritical(lcFailure) << "failure:" << reason;
    if (failed_) {
        return; // the program is already on its way out; one report is enough
    }
    failed_ = true;
    QMetaObject::invokeMethod(
        this, [this, reason] { reportAndEnd(reason); }, Qt::QueuedConnection);
}

void FailurePath::reportAndEnd(const QString& reason) {
    // The report's own failure must not leave the event loop either; the program ends all the same.
    runHandler(
        [&] { reportFailure(reason, messageBoxes_, notificationArea_, trayIcon_); },
        [](const QString& second) { qCCritical(lcFailure) << "the failure report failed:" << second; });
    QCoreApplication::exit(1);
}

void runHandler(const std::function<void()>& body, const std::function<void(const QString&)>& onFailure) {
    if (const std::optional<QString> reason = failureOf(body)) {
        onFailure(*reason);
    }
}

} // namespace cw
