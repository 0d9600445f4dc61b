#pragma once

#include "FliteModule.h"

namespace cw::tts {

/// Runs flite's front end of `voice` (a cst_voice) on `text` and writes the utterance's HTS full-context
/// labels, phones and words into `out`. The caller serialises calls into flite.
FliteStatus writeHtsLabels(void* voice, const QByteArray& text, HtsLabelling& out);

} // namespace cw::tts
