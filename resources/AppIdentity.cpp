#include "AppIdentity.h"

#include <QFile>
#include <QSettings>

// The resources live in a static library, so nothing would pull them into the program unless asked for.
static void ensureResources() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)loaded;
}

namespace cw {

QString versionResourceValue(const QString& key) {
    ensureResources();
    const QSettings resource(QStringLiteral(":/chatterwisp/version.ini"), QSettings::IniFormat);
    return resource.value(QStringLiteral("Version/") + key).toString();
}

QString iconResourcePath() {
    ensureResources();
    return QStringLiteral(":/chatterwisp/chatterwisp-32.png");
}

QIcon appIcon() {
    QIcon icon;
    icon.addFile(iconResourcePath(), QSize(32, 32));
    icon.addFile(QStringLiteral(":/chatterwisp/chatterwisp-64.png"), QSize(64, 64));
    icon.addFile(QStringLiteral(":/chatterwisp/chatterwisp-128.png"), QSize(128, 128));
    return icon;
}

} // namespace cw
