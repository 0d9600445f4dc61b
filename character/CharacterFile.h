#pragma once

#include "character/CharacterData.h"

#include <QByteArray>

namespace cw::character {

/// The packed character file: magic, format version, a table of sections, then the sections (see
/// docs/character-format.md). All numbers little-endian.
inline constexpr quint16 kFormatVersion = 1;

/// Serialises a character (which must pass validate()) into the packed format.
QByteArray pack(const CharacterData& character);
/// Reads and validates a packed character; the error names the place in the file and the problem.
[[nodiscard]] Result<CharacterData> unpack(const QByteArray& bytes);

} // namespace cw::character
