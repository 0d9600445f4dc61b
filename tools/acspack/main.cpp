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
    try {
        const cw::character::CharacterData character = cw::character::readDescription(args[1]);
        const QByteArray bytes = cw::character::pack(character);
        // The packed file must read back, and every image must draw, or the program would refuse it.
        const auto check = std::make_shared<const cw::character::CharacterData>(cw::character::unpack(bytes));
        cw::character::FrameRenderer renderer(check);
        QSaveFile out(args[2]);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
            std::fprintf(stderr, "acspack: cannot write %s: %s\n", qPrintable(args[2]),
                         qPrintable(out.errorString()));
            return 1;
        }
    } catch (const cw::character::FormatError& e) {
        std::fprintf(stderr, "acspack: %s\n", e.what());
        return 1;
    }
    return 0;
}
