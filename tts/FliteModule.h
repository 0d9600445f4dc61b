#pragma once

#include "FliteVoice.h"

#include <QByteArray>
#include <QString>

namespace cw::tts {

/// How a call into the module went; a plain value, so it crosses the module boundary unchanged.
enum class FliteStatus : int {
    Ok,
    UnknownVoice,       ///< no built-in voice has that name
    VoiceNotRegistered, ///< flite could not register the voice
    NoUtterance,        ///< flite made no utterance of the text
};

/// What went wrong, in words for the log.
constexpr const char* fliteStatusMessage(FliteStatus status) {
    switch (status) {
    case FliteStatus::Ok:
        return "no error";
    case FliteStatus::UnknownVoice:
        return "no built-in voice of that name";
    case FliteStatus::VoiceNotRegistered:
        return "flite could not register the voice";
    case FliteStatus::NoUtterance:
        return "flite made no utterance of the text";
    }
    return "unknown failure";
}

/// The calls into flite, in a module of their own (chatterwisp-flite.so). flite and its voices bring some
/// 50,000 relocations; linked into the program they would be paid before its window appears, loaded from here
/// they are paid on the synthesis thread when the engine first warms its voice.
struct FliteModuleApi {
    int version;
    /// Registers the built-in voice of that name ("kal16", "awb") with flite and puts it in `voice`.
    FliteStatus (*loadVoice)(const char* name, void** voice);
    /// Synthesises `text` (flite's 8-bit text) with `voice` into `out`.
    FliteStatus (*synthesize)(void* voice, const QByteArray& text, const FliteVoice::Parameters& parameters,
                              int fallbackSampleRate, Utterance& out);
};

inline constexpr int kFliteModuleApiVersion = 2;

/// The module's one exported symbol: a function returning its FliteModuleApi.
inline constexpr char kFliteModuleEntry[] = "cw_flite_module";

/// The module as loaded: its calls, or why there are none.
struct FliteModuleLoad {
    const FliteModuleApi* api = nullptr; ///< null when it could not be loaded
    QString failure;                     ///< every place looked in and why each failed; empty when loaded
};

/// The module, loaded on first use: the build tree's for a program of the build tree, otherwise the one under
/// the program's own prefix, then the installed one. Thread-safe; the caller logs a failure.
const FliteModuleLoad& fliteModule();

} // namespace cw::tts
