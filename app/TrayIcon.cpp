#include "TrayIcon.h"

namespace cw {

QString trayTip(const AppIdentity& identity) {
    QString tip = identity.title + QStringLiteral(" v") + QString::number(identity.major) +
                  QStringLiteral(".") + QString::number(identity.minor) + QString::number(identity.revision) +
                  QChar(0);
    constexpr int kTipLength = 64;
    return tip.left(kTipLength).leftJustified(kTipLength, QLatin1Char(' '));
}

TrayIconData makeTrayIconData(std::uintptr_t window, const QIcon& icon, const AppIdentity& identity) {
    TrayIconData data;
    data.cbSize = 88;
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = 7;
    data.uCallbackMessage = kMouseMove;
    data.hIcon = icon;
    data.szTip = trayTip(identity);
    return data;
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
