#pragma once

#include "RequestSynthesizer.h"
#include "Voice.h"

#include <QString>
#include <memory>

namespace cw::tts {

/// The voice the engine speaks with: the voice `name` (the genie's own, an English voice) for English and for
/// what cannot be told, eSpeak NG's voice for every other language it knows, made when first needed.
std::unique_ptr<Voice> makeSpeakingVoice(const QString& name);

/// Finds a paragraph's language from its letters' script and, for the Latin script, libexttextcat's
/// fingerprints, which are loaded on first use. For one thread at a time.
FindLanguage paragraphLanguageFinder();

/// The language a request starts in, until a paragraph tells another: the desktop's (LC_ALL, LC_MESSAGES,
/// LANG), English when it says none.
QString startingLanguage();

} // namespace cw::tts
