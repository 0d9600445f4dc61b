#pragma once

#include "character/CharacterData.h"
#include "character/SpeechOutput.h"
#include "core/Clock.h"
#include "platform/AudioOutput.h"

#include <memory>

namespace cw {

/// The speech output the program's characters talk through: the speech engine. Requests without tags get the
/// character's voice defaults.
std::unique_ptr<character::SpeechOutput> makeSpeechOutput(const character::VoiceDefaults& defaults);

/// The audio output the program speaks through: the desktop's sound server, or, when no client of it can run
/// at all, a silent output on `clock` (logged once). `clock` must outlive the output.
std::unique_ptr<AudioOutput> makeSpeechAudioOutput(const Clock& clock, int sampleRate);

/// The tags that put a character's voice defaults in force ahead of a request's own tags.
QString defaultTags(const character::VoiceDefaults& defaults);

} // namespace cw
