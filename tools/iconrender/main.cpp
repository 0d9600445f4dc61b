// Renders the program's SVG icon into the PNG sizes of the desktop's icon theme, at build time, so the PNGs
// always match the SVG and no image tool is needed: iconrender ICON.svg OUTPUT-FOLDER SIZE... Each size lands
// in OUTPUT-FOLDER/SIZExSIZE/apps/ under the SVG's name, the layout of the hicolor theme.
//
// iconrender --pixels OUTPUT IMAGE... stores images decoded, for the window icon: per image its width and
// height (32-bit, little-endian), then its rows in premultiplied ARGB, 32 bits a pixel in the byte order of
// the machine that builds the program (see appIcon()).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "iconrender: %s\n", qPrintable(message));
    return 1;
}

int writePixels(const QString& output, const QStringList& images) {
    QByteArray pixels;
    for (const QString& path : images) {
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (image.isNull() || image.width() > 1024 || image.height() > 1024)
            return fail(QStringLiteral("%1 is not a readable icon image").arg(path));
        for (const int side : {image.width(), image.height()}) {
            for (int byte = 0; byte < 4; ++byte)
                pixels.append(static_cast<char>((side >> (8 * byte)) & 0xff));
        }
        for (int y = 0; y < image.height(); ++y)
            pixels.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4);
    }
    QFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(pixels) != pixels.size())
        return fail(QStringLiteral("cannot write %1").arg(output));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("--pixels"))
        return writePixels(args[2], args.mid(3));
    if (args.size() < 4)
        return fail(QStringLiteral(
            "usage: iconrender ICON.svg OUTPUT-FOLDER SIZE..., or iconrender --pixels OUTPUT IMAGE..."));

    QSvgRenderer svg(args[1]);
    if (!svg.isValid())
        return fail(QStringLiteral("%1 is not a readable SVG image").arg(args[1]));
    const QString name = QFileInfo(args[1]).completeBaseName() + QStringLiteral(".png");

    for (const QString& sizeText : args.mid(3)) {
        bool isNumber = false;
        const int size = sizeText.toInt(&isNumber);
        if (!isNumber || size < 1 || size > 1024)
            return fail(QStringLiteral("%1 is not an icon size (1 to 1024 pixels)").arg(sizeText));
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            svg.render(&painter, QRectF(0, 0, size, size));
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
        if (!QDir().mkpath(folder))
            return fail(QStringLiteral("cannot create %1").arg(folder));
        const QString file = folder + u'/' + name;
        if (!image.convertToFormat(QImage::Format_ARGB32).save(file, "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(file));
    }
    return 0;
}
