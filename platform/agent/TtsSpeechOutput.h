#pragma once

#include "CharacterData.h"
#include "SpeechOutput.h"

#include <memory>

namespace cw::agent {

/// Makes the speech output a character talks through: the speech engine. Requests without tags get the
/// character's voice defaults.
std::unique_ptr<SpeechOutput> makeSpeechOutput(const VoiceDefaults& defaults);

/// The tags that put a character's voice defaults in force ahead of a request's own tags.
QString defaultTags(const VoiceDefaults& defaults);

} // namespace cw::agent
