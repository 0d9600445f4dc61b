#include "SpeechRequest.h"

namespace cw {

QString voiceCharacter() {
    return {};
}

QString buildSpeechRequest(const QString& pitch, const QString& speed, const QString& voiceCharacter,
                           const QString& text) {
    const QString prefix = QStringLiteral("\\Pit=") + pitch + QStringLiteral("\\") +
                           QStringLiteral("\\Spd=") + speed + QStringLiteral("\\") + QStringLiteral("\\Chr=");
    return prefix + voiceCharacter + QStringLiteral("\\") + text;
}

} // namespace cw
