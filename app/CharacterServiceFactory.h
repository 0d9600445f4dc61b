#pragma once

#include "platform/CharacterService.h"

#include <memory>

namespace cw {

/// The character service the program runs with.
std::unique_ptr<ICharacterService> makeCharacterService();

} // namespace cw
