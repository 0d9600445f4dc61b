#pragma once

#include "FliteVoice.h"

#include <QByteArray>
#include <QList>
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

/// What flite's front end makes of a text for a statistical (HTS) voice: one full-context label per phone, in
/// the layout the voice was trained on ("p1^p2-p3+p4=p5@p6_p7/A:.../B:.../J:..."), and the phones with the
/// words they belong to, for lip-sync and the balloon's words.
struct HtsLabelling {
    struct Word {
        QByteArray name;  ///< the word as the lexicon spelled it ("twelve")
        QByteArray token; ///< the text it came from, without its punctuation ("$12")
    };
    struct Phone {
        QByteArray name; ///< flite's phone name ("pau" for a pause)
        int word = -1;   ///< index into words; -1 for a pause
    };
    QList<QByteArray> labels; ///< as many as phones, in the same order
    QList<Phone> phones;
    QList<Word> words;
};

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
    /// Runs only flite's front end of `voice` on `text` (no durations, no waveform) and writes its HTS
    /// labels.
    FliteStatus (*htsLabels)(void* voice, const QByteArray& text, HtsLabelling& out);
};

inline constexpr int kFliteModuleApiVersion = 3;

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
