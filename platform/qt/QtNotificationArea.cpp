#include "QtNotificationArea.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTray, "chatterwisp.tray")

namespace cw {

QtNotificationArea::QtNotificationArea(QObject* parent) : QObject(parent) {}

QtNotificationArea::~QtNotificationArea() = default;

bool QtNotificationArea::addIcon(const QIcon& icon, const QString& tip) {
    if (icon_) {
        return false;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        qCInfo(lcTray) << "no notification area on this desktop; running without a tray icon";
        return false;
    }
    icon_ = std::make_unique<QSystemTrayIcon>(icon);
    icon_->setToolTip(tip);
    connect(icon_.get(), &QSystemTrayIcon::activated, this, &QtNotificationArea::onActivated);
    icon_->setContextMenu(menu_.get());
    icon_->show();
    return true;
}

bool QtNotificationArea::changeIcon(const QIcon& icon, const QString& tip) {
    if (!icon_) {
        return false;
    }
    icon_->setIcon(icon);
    icon_->setToolTip(tip);
    return true;
}

bool QtNotificationArea::removeIcon() {
    if (!icon_) {
        return false;
    }
    icon_->hide();
    icon_.reset();
    return true;
}

void QtNotificationArea::setEventHandler(std::function<void(TrayEvent)> handler) {
    handler_ = std::move(handler);
}

void QtNotificationArea::setMenu(QList<TrayMenuEntry> entries) {
    auto menu = std::make_unique<QMenu>();
    for (TrayMenuEntry& entry : entries) {
        QAction* action = menu->addAction(entry.text);
        connect(action, &QAction::triggered, this, [chosen = std::move(entry.chosen)] {
            if (chosen) {
                chosen();
            }
        });
    }
    if (icon_) {
        icon_->setContextMenu(menu.get());
    }
    menu_ = std::move(menu);
}

void QtNotificationArea::onActivated(QSystemTrayIcon::ActivationReason reason) {
    if (!handler_) {
        return;
    }
    // Qt reports whole clicks; hand each on as the press and release it was made of.
    auto click = [this](TrayEvent press, TrayEvent release) {
        handler_(press);
        handler_(release);
    };
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        click(TrayEvent::LeftPress, TrayEvent::LeftRelease);
        break;
    case QSystemTrayIcon::DoubleClick:
        click(TrayEvent::LeftDoubleClick, TrayEvent::LeftRelease);
        break;
    case QSystemTrayIcon::Context:
        click(TrayEvent::RightPress, TrayEvent::RightRelease);
        break;
    case QSystemTrayIcon::MiddleClick:
        click(TrayEvent::MiddlePress, TrayEvent::MiddleRelease);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

} // namespace cw
