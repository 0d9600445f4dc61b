#pragma once

#include <QtGlobal>
#include <vector>

namespace cw::tts {

/// Turns voiced speech into a whisper: each 20 ms frame keeps its spectral envelope (linear prediction) and
/// its loudness, but is excited by noise instead of the voice's pulses, then the whole is made quieter.
/// Deterministic (a fixed noise seed). Pure.
std::vector<qint16> whisper(const std::vector<qint16>& speech, int sampleRate);

} // namespace cw::tts
