#pragma once

#include "SpeechEngine.h"

#include <QByteArrayView>
#include <QString>

namespace cw::tts {

/// The mouth shape that shows a phone of the US English phone set (as flite names them); silence is Closed.
Mouth mouthForPhone(QByteArrayView phone);

} // namespace cw::tts
