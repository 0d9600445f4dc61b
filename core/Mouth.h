#pragma once

#include <QString>

namespace cw {

/// The mouth shapes a speaking character shows. The speech engine picks one for each sound; a character file
/// stores one overlay image per shape, in this order.
enum class Mouth { Closed, Wide1, Wide2, Wide3, Wide4, Medium, Narrow };

inline constexpr int kMouthCount = static_cast<int>(Mouth::Narrow) + 1;

/// The shape's name as timelines and character descriptions write it ("Closed", "Wide1", ...).
QString mouthName(Mouth shape);

} // namespace cw
