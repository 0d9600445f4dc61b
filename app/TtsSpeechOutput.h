#pragma once

#include "character/CharacterData.h"
#include "character/SpeechOutput.h"

#include <memory>

namespace cw {

/// The speech output the program's characters talk through: the speech engine. Requests without tags get the
/// character's voice defaults.
std::unique_ptr<character::SpeechOutput> makeSpeechOutput(const character::VoiceDefaults& defaults);

/// The tags that put a character's voice defaults in force ahead of a request's own tags.
QString defaultTags(const character::VoiceDefaults& defaults);

} // namespace cw
