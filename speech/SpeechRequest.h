#pragma once

#include <QString>

namespace cw {

/// The tag that sets the pitch of what follows: "\Pit=<hertz>\".
QString pitchTag(const QString& hertz);
/// The tag that sets the speed of what follows: "\Spd=<words per minute>\".
QString speedTag(const QString& wordsPerMinute);

/// Builds the speech request handed to the character: pitch and speed tags, an empty voice-character tag (the
/// character keeps its voice character), then the text. The field texts are joined as typed: nothing is
/// converted, validated or escaped.
QString buildSpeechRequest(const QString& pitch, const QString& speed, const QString& text);

} // namespace cw
