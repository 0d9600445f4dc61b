#pragma once

#include "platform/CharacterService.h"

#include <QString>
#include <memory>

namespace cw {

/// The character service the program runs with. It starts reading the character file the main window will
/// load, so that the reading overlaps the making of the window.
std::unique_ptr<ICharacterService> makeCharacterService(const QString& characterFile);

} // namespace cw
