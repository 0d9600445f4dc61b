#pragma once

#include "platform/NotificationArea.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

namespace cw {

/// The notification area through Qt's system tray icon. Qt reports clicks rather than button presses and
/// releases, so each click is handed on as the press and release it was made of.
class QtNotificationArea : public QObject, public INotificationArea {
    Q_OBJECT
public:
    explicit QtNotificationArea(QObject* parent = nullptr);
    ~QtNotificationArea() override;

    bool addIcon(const QIcon& icon, const QString& tip) override;
    bool changeIcon(const QIcon& icon, const QString& tip) override;
    bool removeIcon() override;
    void setEventHandler(std::function<void(TrayEvent event)> handler) override;
    void setMenu(QList<TrayMenuEntry> entries) override;

    /// The icon while it is shown, for tests and diagnostics.
    QSystemTrayIcon* icon() const { return icon_.get(); }

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QMenu> menu_; // declared first: the icon refers to it while it lives
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::function<void(TrayEvent)> handler_;
};

} // namespace cw
