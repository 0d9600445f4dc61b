#pragma once

#include "SpeechEngine.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace cw::tts {

/// The mouth shape that shows a phone of the US English phone set (as flite names them); silence is Closed.
Mouth mouthForPhone(QByteArrayView phone);

/// The mouth shape that shows a phoneme written in IPA (UTF-8, as eSpeak NG reports it: "aː", "ˈa", "t͡s",
/// "ã"), by how the mouth makes its first base symbol, whatever the language; half open (Wide2) for one it
/// does not know. A pause (empty name) is Closed.
Mouth mouthForIpa(QByteArrayView phoneme);

/// The table's shape for a phoneme, as mouthForIpa gives it; nullopt when its base symbol has no entry.
std::optional<Mouth> ipaMouthEntry(QByteArrayView phoneme);

} // namespace cw::tts
