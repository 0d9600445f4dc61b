// Packs a character description (JSON and SVG images) into one character file, refusing anything the program
// would refuse to load.
#include "character/CharacterFile.h"
#include "character/Description.h"
#include "character/FrameRenderer.h"

#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // reading SVG text needs fonts
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: acspack DESCRIPTION.json OUTPUT.acs\n");
        return 2;
    }
    const auto refuse = [](const QString& problem) {
        std::fprintf(stderr, "acspack: %s\n", qPrintable(problem));
        return 1;
    };
    const auto character = cw::character::readDescription(args[1]);
    if (!character.ok())
        return refuse(character.message());
    const QByteArray bytes = cw::character::pack(character.value());
    // The packed file must read back, and every image must draw, or the program would refuse it.
    auto check = cw::character::unpack(bytes);
    if (!check.ok())
        return refuse(check.message());
    const auto drawn = cw::character::FrameRenderer::create(
        std::make_shared<const cw::character::CharacterData>(std::move(check).value()));
    if (!drawn.ok())
        return refuse(drawn.message());
    QSaveFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return refuse(QStringLiteral("cannot write %1: %2").arg(args[2], out.errorString()));
    return 0;
}
