#include "QtNotificationArea.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTray, "chatterwisp.tray")

namespace cw {

namespace {
// The tip is kept as a fixed field: the visible text ends at the first NUL.
QString visibleTip(const QString& field) {
    const qsizetype nul = field.indexOf(QChar(0));
    return nul < 0 ? field.trimmed() : field.left(nul);
}
} // namespace

QtNotificationArea::QtNotificationArea(QObject* parent) : QObject(parent) {}

QtNotificationArea::~QtNotificationArea() = default;

bool QtNotificationArea::notifyIcon(NotifyCommand command, const TrayIconData& data) {
    switch (command) {
    case NotifyCommand::Add:
        if (icon_) {
            return false;
        }
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            qCInfo(lcTray) << "no notification area on this desktop; running without a tray icon";
            return false;
        }
        icon_ = std::make_unique<QSystemTrayIcon>(data.hIcon);
        icon_->setToolTip(visibleTip(data.szTip));
        connect(icon_.get(), &QSystemTrayIcon::activated, this, &QtNotificationArea::onActivated);
        icon_->show();
        return true;
    case NotifyCommand::Modify:
        if (!icon_) {
            return false;
        }
        icon_->setIcon(data.hIcon);
        icon_->setToolTip(visibleTip(data.szTip));
        return true;
    case NotifyCommand::Delete:
        if (!icon_) {
            return false;
        }
        icon_->hide();
        icon_.reset();
        return true;
    }
    return false;
}

void QtNotificationArea::setEventHandler(std::function<void(int)> handler) {
    handler_ = std::move(handler);
}

void QtNotificationArea::onActivated(QSystemTrayIcon::ActivationReason reason) {
    if (!handler_) {
        return;
    }
    // Qt reports whole clicks; hand each on as the press and release it was made of.
    auto click = [this](int press, int release) {
        handler_(press);
        handler_(release);
    };
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        click(kLeftButtonDown, kLeftButtonUp);
        break;
    case QSystemTrayIcon::DoubleClick:
        click(kLeftButtonDoubleClick, kLeftButtonUp);
        break;
    case QSystemTrayIcon::Context:
        click(kRightButtonDown, kRightButtonUp);
        break;
    case QSystemTrayIcon::MiddleClick:
        click(kMiddleButtonDown, kMiddleButtonUp);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

} // namespace cw
