#pragma once

#include "character/Agent.h"

#include <QStringList>
#include <memory>

namespace cw {

/// The character service the program runs with: its characters speak through the speech engine. `folders`
/// are where character files are looked up; empty: the installed places.
std::unique_ptr<character::Agent> makeCharacterService(const QStringList& folders = {});

} // namespace cw
