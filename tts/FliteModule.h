#pragma once

#include "FliteVoice.h"

#include <QByteArray>

namespace cw::tts {

/// The calls into flite, in a module of their own (chatterwisp-flite.so). flite and its voices bring some
/// 50,000 relocations; linked into the program they would be paid before its window appears, loaded from here
/// they are paid on the synthesis thread when the engine first warms its voice.
struct FliteModuleApi {
    int version;
    /// The built-in voice of that name ("kal16", "awb"), registered with flite; null for an unknown name.
    void* (*loadVoice)(const char* name);
    /// Synthesises `text` (flite's 8-bit text) with `voice`; false when flite made no utterance.
    bool (*synthesize)(void* voice, const QByteArray& text, const FliteVoice::Parameters& parameters,
                       int fallbackSampleRate, Utterance& out);
};

inline constexpr int kFliteModuleApiVersion = 1;

/// The module's one exported symbol: a function returning its FliteModuleApi.
inline constexpr char kFliteModuleEntry[] = "cw_flite_module";

/// The module, loaded on first use: the build tree's for a program of the build tree, otherwise the one under
/// the program's own prefix, then the installed one. Null when it cannot be loaded (the reason, with every
/// place looked in, is logged once). Thread-safe.
const FliteModuleApi* fliteModule();

} // namespace cw::tts
