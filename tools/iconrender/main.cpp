// Renders the program's SVG icon into the PNG sizes of the desktop's icon theme, at build time, so the PNGs
// always match the SVG and no image tool is needed: iconrender ICON.svg OUTPUT-FOLDER SIZE... Each size lands
// in OUTPUT-FOLDER/SIZExSIZE/apps/ under the SVG's name, the layout of the hicolor theme.
#include <QDir>
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return fail(QStringLiteral("usage: iconrender ICON.svg OUTPUT-FOLDER SIZE..."));

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
