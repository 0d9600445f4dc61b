#pragma once

#include "character/CharacterData.h"

#include <QString>

namespace cw::character {

/// Reads a readable character description (genie.json) and the SVG images it names, relative to its folder,
/// and validates the result. The error names the file, the place in it and the problem.
[[nodiscard]] Result<CharacterData> readDescription(const QString& jsonPath);

/// The same from bytes; `folder` is where the images' file names are looked up. The error names the place
/// and the problem.
[[nodiscard]] Result<CharacterData> parseDescription(const QByteArray& json, const QString& folder);

} // namespace cw::character
