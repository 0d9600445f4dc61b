#include "TrayIcon.h"

namespace cw {

int trayMessage(TrayEvent event) {
    switch (event) {
    case TrayEvent::LeftPress:
        return kLeftButtonDown;
    case TrayEvent::LeftRelease:
        return kLeftButtonUp;
    case TrayEvent::LeftDoubleClick:
        return kLeftButtonDoubleClick;
    case TrayEvent::RightPress:
        return kRightButtonDown;
    case TrayEvent::RightRelease:
        return kRightButtonUp;
    case TrayEvent::MiddlePress:
        return kMiddleButtonDown;
    case TrayEvent::MiddleRelease:
        return kMiddleButtonUp;
    }
    return kMouseMove;
}

QString trayTip(const AppIdentity& identity) {
    QString tip = identity.title + QStringLiteral(" v") + QString::number(identity.major) +
                  QStringLiteral(".") + QString::number(identity.minor) + QString::number(identity.revision) +
                  QChar(0);
    constexpr int kTipLength = 64;
    return tip.left(kTipLength).leftJustified(kTipLength, QLatin1Char(' '));
}

TrayIconData makeTrayIconData(const QIcon& icon, const AppIdentity& identity) {
    return {icon, trayTip(identity)};
}

bool notifyIcon(INotificationArea& area, NotifyCommand command, const TrayIconData& data) {
    switch (command) {
    case NotifyCommand::Add: {
        // The tip is kept as a fixed field: the visible text ends at the first NUL.
        const qsizetype nul = data.tip.indexOf(QChar(0));
        return area.addIcon(data.icon, nul < 0 ? data.tip.trimmed() : data.tip.left(nul));
    }
    case NotifyCommand::Delete:
        return area.removeIcon();
    }
    return false;
}

bool trayEventActs(int code, int lastTrayMessage) {
    switch (code) {
    case kLeftButtonUp:
        return lastTrayMessage == kLeftButtonDown;
    case kLeftButtonDoubleClick:
        return true;
    case kRightButtonUp:
        return lastTrayMessage == kRightButtonDown;
    default:
        return false;
    }
}

} // namespace cw
