#include "AppIdentity.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
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
    // Read as PNG outright: a reader left to detect the format first loads every installed image format
    // plugin to ask it, about 3 ms before the main window could be shown.
    QIcon icon;
    for (const QString& path : {iconResourcePath(), QStringLiteral(":/chatterwisp/chatterwisp-64.png"),
                                QStringLiteral(":/chatterwisp/chatterwisp-128.png")}) {
        QImageReader reader(path, "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull()) {
            icon.addPixmap(QPixmap::fromImage(image));
        }
    }
    return icon;
}

} // namespace cw
