#include "AppIdentity.h"

#include <QFile>
#include <QSettings>

namespace cw {

QString versionResourceValue(const QString& key) {
    const QSettings resource(QStringLiteral(":/chatterwisp/version.ini"), QSettings::IniFormat);
    return resource.value(QStringLiteral("Version/") + key).toString();
}

QString iconResourcePath() { return QStringLiteral(":/chatterwisp/chatterwisp-32.png"); }

} // namespace cw
