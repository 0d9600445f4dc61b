#include "SpeechRequest.h"

namespace cw {

QString pitchTag(const QString& hertz) {
    return QStringLiteral("\\Pit=") + hertz + QStringLiteral("\\");
}

QString speedTag(const QString& wordsPerMinute) {
    return QStringLiteral("\\Spd=") + wordsPerMinute + QStringLiteral("\\");
}

QString buildSpeechRequest(const QString& pitch, const QString& speed, const QString& text) {
    return pitchTag(pitch) + speedTag(speed) + QStringLiteral("\\Chr=\\") + text;
}

} // namespace cw
