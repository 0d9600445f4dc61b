#pragma once

// The small test character, for the tests of the character engine and of the program that loads it. Its
// includer links cw_character and defines CW_CHARACTER_TEST_DATA, the folder of tests/character/data.
#include "character/CharacterData.h"
#include "character/CharacterFile.h"
#include "character/Description.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace cw::test {

/// The folder of the small test characters.
inline QString characterDataDir() {
    return QStringLiteral(CW_CHARACTER_TEST_DATA);
}

/// The test character "Tiny": a few coloured rectangles with every animation the program plays.
inline std::shared_ptr<const character::CharacterData> tiny() {
    static const auto data = std::make_shared<const character::CharacterData>(
        character::readDescription(characterDataDir() + QStringLiteral("/tiny/tiny.json")).value());
    return data;
}

/// Packs the tiny character into "genie.acs" in a folder, for tests that load it by its bare name.
inline bool writeTinyCharacterFile(const QTemporaryDir& dir) {
    QFile file(dir.filePath(QStringLiteral("genie.acs")));
    return file.open(QIODevice::WriteOnly) && file.write(character::pack(*tiny())) > 0;
}

} // namespace cw::test
