#include "Mouth.h"

namespace cw {

QString mouthName(Mouth shape) {
    switch (shape) {
    case Mouth::Closed:
        return QStringLiteral("Closed");
    case Mouth::Wide1:
        return QStringLiteral("Wide1");
    case Mouth::Wide2:
        return QStringLiteral("Wide2");
    case Mouth::Wide3:
        return QStringLiteral("Wide3");
    case Mouth::Wide4:
        return QStringLiteral("Wide4");
    case Mouth::Medium:
        return QStringLiteral("Medium");
    case Mouth::Narrow:
        return QStringLiteral("Narrow");
    }
    return QStringLiteral("Closed");
}

} // namespace cw
