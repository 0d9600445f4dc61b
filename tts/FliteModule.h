#pragma once

#include "FliteVoice.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

namespace cw::tts {

/// How a call into the module went; a plain value, so it crosses the module boundary unchanged.
enum class FliteStatus : int {
    Ok,
    UnknownVoice,       ///< no built-in voice has that name
    VoiceNotRegistered, ///< flite could not register the voice
    NoUtterance,        ///< flite made no utterance of the text
    HtsVoiceNotLoaded,  ///< the HTS engine could not load the voice file
    HtsNoParameters,    ///< the HTS engine made nothing of the labels
    VocoderUnusable,    ///< the HTS engine's vocoder is not the one this module was written for
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
    case FliteStatus::HtsVoiceNotLoaded:
        return "the HTS engine could not load the voice file";
    case FliteStatus::HtsNoParameters:
        return "the HTS engine made nothing of the labels";
    case FliteStatus::VocoderUnusable:
        return "the HTS engine's vocoder is not the one this program was built for";
    }
    return "unknown failure";
}

/// What flite's front end makes of a text for a statistical (HTS) voice: one full-context label per phone, in
/// the layout the voice was trained on ("p1^p2-p3+p4=p5@p6_p7/A:.../B:.../J:..."), and the phones with the
/// words they belong to, for lip-sync and the balloon's words.
struct HtsLabelling {
    struct Word {
        QByteArray name;         ///< the word as the lexicon spelled it ("twelve")
        QByteArray token;        ///< the text it came from, without its punctuation ("$12")
        bool startsToken = true; ///< the first word made of its token ("twelve" of "$12", not "dollars")
    };
    struct Phone {
        QByteArray name; ///< flite's phone name ("pau" for a pause)
        int word = -1;   ///< index into words; -1 for a pause
    };
    QList<QByteArray> labels; ///< as many as phones, in the same order
    QList<Phone> phones;
    QList<Word> words;
};

/// How the HTS engine is to speak one sentence.
struct HtsControl {
    double logF0Shift = 0; ///< added to every log-F0 mean: the pitch, moved as a whole
    bool monotone = false; ///< every log-F0 mean at monotoneLogF0, with no movement and no global variance
    double monotoneLogF0 = 0;
    double voicingThreshold = 0.5; ///< 1 makes every frame unvoiced: a whisper
    double speed = 1;              ///< frames per state divided by this
};

/// What the HTS engine made of one sentence: every frame's parameters, for the vocoder to turn into sound.
struct HtsFrames {
    static constexpr double kUnvoiced = -1.0e+10; ///< the log F0 of an unvoiced frame
    int sampleRate = 0;
    int framePeriod = 0; ///< samples per frame
    int order = 0;       ///< of the mel-cepstrum: order + 1 values a frame
    int stage = 0;       ///< 0: mel-cepstrum
    bool useLogGain = false;
    double alpha = 0;             ///< the voice's own all-pass constant
    double beta = 0;              ///< the voice's own postfilter
    std::vector<int> phoneFrames; ///< frames of each phone, in the labels' order
    std::vector<double> logF0;    ///< one a frame
    std::vector<double> spectrum; ///< order + 1 a frame
    int frames() const { return int(logF0.size()); }
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

    /// Loads an HTS voice file into the module's one HTS engine, once; `engine` is that engine.
    FliteStatus (*htsLoadVoice)(const char* path, void** engine);
    /// Durations and parameters of every frame of the sentence the labels describe.
    FliteStatus (*htsFrames)(void* engine, const QList<QByteArray>& labels, const HtsControl& control,
                             HtsFrames& out);
    /// A vocoder of its own for one sentence, to be freed with htsFreeVocoder; null with `status` set when
    /// the engine's vocoder cannot be used.
    void* (*htsNewVocoder)(const HtsFrames& frames, FliteStatus& status);
    /// Makes frame `frame` of `frames` into framePeriod samples in `out`, with the all-pass constant `alpha`
    /// and the postfilter `beta`; unless `voiced`, the frame is excited by noise whatever its pitch. Frames
    /// go in order.
    void (*htsVocode)(void* vocoder, const HtsFrames& frames, int frame, bool voiced, double alpha,
                      double beta, qint16* out);
    void (*htsFreeVocoder)(void* vocoder);
    /// The whole sentence the engine's own way, for checking htsVocode against (all its samples in `out`).
    FliteStatus (*htsEngineWaveform)(void* engine, const QList<QByteArray>& labels, const HtsControl& control,
                                     std::vector<qint16>& out);
};

inline constexpr int kFliteModuleApiVersion = 5;

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
