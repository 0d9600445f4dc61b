#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <functional>

namespace cw {

/// What the user did to the icon: each press and release of a button, and the second click of a double-click.
enum class TrayEvent {
    LeftPress,
    LeftRelease,
    LeftDoubleClick,
    RightPress,
    RightRelease,
    MiddlePress,
    MiddleRelease,
};

/// One entry of the icon's context menu: its text and what choosing it does.
struct TrayMenuEntry {
    QString text;
    std::function<void()> chosen;
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
    /// Receives what the user does to the icon, in the order it happens.
    virtual void setEventHandler(std::function<void(TrayEvent event)> handler) = 0;
    /// Sets the entries of the menu the icon offers on the right button, in order; they last across
    /// addIcon() and removeIcon().
    virtual void setMenu(QList<TrayMenuEntry> entries) = 0;
};

} // namespace cw
