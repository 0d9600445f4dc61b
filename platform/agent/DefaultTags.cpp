#include "TtsSpeechOutput.h"

namespace cw::agent {

QString defaultTags(const VoiceDefaults& defaults) {
    QString tags;
    if (defaults.pitch > 0)
        tags += QStringLiteral("\\Pit=%1\\").arg(defaults.pitch);
    if (defaults.speed > 0)
        tags += QStringLiteral("\\Spd=%1\\").arg(defaults.speed);
    return tags;
}

} // namespace cw::agent
