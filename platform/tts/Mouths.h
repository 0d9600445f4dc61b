#pragma once

#include "platform/tts/SpeechEngine.h"

#include <QByteArrayView>
#include <QString>

namespace cw::tts {

/// The mouth shape that shows a phone of the US English phone set (as flite names them); silence is Closed.
Mouth mouthForPhone(QByteArrayView phone);

/// The shape's name as written in timelines ("Closed", "Wide1", ...).
QString mouthName(Mouth shape);

} // namespace cw::tts
