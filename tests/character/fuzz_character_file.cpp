// Fuzz target for the character file loader: any bytes are either refused with a message or give a character
// whose every frame can be drawn.
#include "character/CharacterFile.h"
#include "character/FrameRenderer.h"

#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_character_file";
    static char* argv[] = {name, nullptr};
    static const bool offscreen = qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv); // SVG drawing needs fonts
    Q_UNUSED(offscreen);
    auto unpacked = cw::character::unpack(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!unpacked.ok()) {
        if (unpacked.message().isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    auto character = std::make_shared<const cw::character::CharacterData>(std::move(unpacked).value());
    auto renderer = cw::character::FrameRenderer::create(character);
    if (!renderer.ok()) {
        if (renderer.message().isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    for (std::size_t a = 0; a < character->animations.size() && a < 8; ++a) {
        const auto& frames = character->animations[a].frames;
        for (std::size_t f = 0; f < frames.size() && f < 8; ++f)
            renderer.value()->render(int(a), int(f), cw::Mouth::Wide1, 1.0);
    }
    return 0;
}
