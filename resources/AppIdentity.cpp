#include "AppIdentity.h"

#include <QFile>
#include <QPixmap>
#include <QResource>
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

namespace {

// The window icon's sizes as tools/iconrender --pixels stored them; none if the data is not whole (the
// window then has no icon, which the layout test reports).
QList<QImage> storedIconImages() {
    const QResource resource(QStringLiteral(":/chatterwisp/window-icon.argb"));
    const QByteArray data = resource.uncompressedData();
    QList<QImage> images;
    qsizetype at = 0;
    auto readSide = [&](int& side) {
        if (data.size() - at < 4) {
            return false;
        }
        side = 0;
        for (int byte = 0; byte < 4; ++byte) {
            side |= static_cast<int>(static_cast<unsigned char>(data[at + byte])) << (8 * byte);
        }
        at += 4;
        return side >= 1 && side <= 1024;
    };
    while (at < data.size()) {
        int width = 0;
        int height = 0;
        if (!readSide(width) || !readSide(height) || data.size() - at < qsizetype{width} * height * 4) {
            return {};
        }
        // A copy: the pixmap made from it may share its pixels, and the resource's bytes may be a temporary.
        images.append(QImage(reinterpret_cast<const uchar*>(data.constData() + at), width, height, width * 4,
                             QImage::Format_ARGB32_Premultiplied)
                          .copy());
        at += qsizetype{width} * height * 4;
    }
    return images;
}

} // namespace

QIcon appIcon() {
    // Stored decoded at build time: decoding the PNGs took about a millisecond and a half before the main
    // window could be shown, most of it Qt looking through every image format plugin for one that reads PNG.
    ensureResources();
    QIcon icon;
    for (const QImage& image : storedIconImages()) {
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace cw
