#pragma once

#include <QString>

namespace cw {

/// The voice-character setting of speech requests. Nothing assigns it, so requests carry an empty value and
/// the character keeps its current voice character.
QString voiceCharacter();

/// Builds the speech request handed to the character: pitch, speed and voice-character tags, then the text.
/// The field texts are joined as typed: nothing is converted, validated or escaped.
QString buildSpeechRequest(const QString& pitch, const QString& speed, const QString& voiceCharacter,
                           const QString& text);

} // namespace cw
