#pragma once

#include "TrayIcon.h"
#include "core/Failure.h"
#include "platform/MessageBoxes.h"

#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <optional>

namespace cw {

/// The text of the one error report the program shows before it ends because an operation failed.
QString failureReportText(const QString& reason);

/// Shows the error report (a critical message box titled with the program's title) and takes the tray icon
/// away. The caller then ends the program with a non-zero status, without the normal shutdown.
void reportFailure(const QString& reason, IMessageBoxes& messageBoxes, INotificationArea& notificationArea,
                   const TrayIconData& trayIcon);

/// The program-wide path of a failure no handler could carry on from. Handlers hand their failure over and
/// return; the report runs later from the event loop, on a clean stack, and then the program ends with
/// status 1. However many failures arrive, only the first is reported and the program ends once.
class FailurePath : public QObject {
    Q_OBJECT
public:
    /// `trayIcon` is the record of the icon to take away; it must outlive this object.
    FailurePath(IMessageBoxes& messageBoxes, INotificationArea& notificationArea,
                const TrayIconData& trayIcon, QObject* parent = nullptr);

    /// Takes a failure; the first one is reported from the event loop's next turn, later ones are only
    /// logged.
    void fail(const QString& reason);
    /// Whether a failure has arrived.
    bool failed() const { return failed_; }

private:
    void reportAndEnd(const QString& reason);

    IMessageBoxes& messageBoxes_;
    INotificationArea& notificationArea_;
    const TrayIconData& trayIcon_;
    bool failed_ = false;
};

/// Runs `body`; returns the message of the failure it threw (of any type), or nothing when it ran through.
/// A template, so that the event loop's last resort wraps every event without allocating.
template <typename Body> std::optional<QString> failureOf(Body&& body) {
    try {
        std::forward<Body>(body)();
        return std::nullopt;
    } catch (const Failure& failure) {
        return failure.message();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("An unknown error occurred.");
    }
}

/// Runs a handler body, turning any failure it throws into a call of `onFailure` with the failure's message,
/// so that no exception leaves a slot or an event handler.
void runHandler(const std::function<void()>& body, const std::function<void(const QString&)>& onFailure);

} // namespace cw
