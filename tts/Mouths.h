#pragma once

#include "SpeechEngine.h"

#include <QByteArrayView>
#include <QString>

namespace cw::tts {

/// The mouth shape that shows a phone of the US English phone set (as flite names them); silence is Closed.
Mouth mouthForPhone(QByteArrayView phone);

/// The mouth shape that shows a phoneme written in IPA (UTF-8, as eSpeak NG reports it), by how the mouth
/// makes it, whatever the language.
Mouth mouthForIpa(QByteArrayView phoneme);

} // namespace cw::tts
