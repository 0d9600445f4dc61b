#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace cw::tts {

/// How a call into the eSpeak NG module went; a plain value, so it crosses the module boundary unchanged.
enum class EspeakStatus : int {
    Ok,
    NoData,        ///< eSpeak NG could not start (its data, espeak-ng-data, is missing)
    VoiceRefused,  ///< eSpeak NG would not load the voice file
    NothingSpoken, ///< eSpeak NG refused the text
};

/// What went wrong, in words for the log.
constexpr const char* espeakStatusMessage(EspeakStatus status) {
    switch (status) {
    case EspeakStatus::Ok:
        return "no error";
    case EspeakStatus::NoData:
        return "eSpeak NG could not start (is espeak-ng-data installed?)";
    case EspeakStatus::VoiceRefused:
        return "eSpeak NG refused the voice file";
    case EspeakStatus::NothingSpoken:
        return "eSpeak NG refused the text";
    }
    return "unknown failure";
}

/// One voice eSpeak NG offers.
struct EspeakLanguage {
    QByteArray identifier; ///< its file under espeak-ng-data/lang ("roa/fr")
    QByteArray name;       ///< its own name ("French (France)")
};

/// How eSpeak NG is to speak one sentence, besides its voice file (which holds the pitch).
struct EspeakParameters {
    int wordsPerMinute = 175; ///< espeakRATE
    int wordGap = 0;          ///< espeakWORDGAP, in 10 ms
    bool monotone = false;    ///< espeakRANGE 0
};

/// One sentence as eSpeak NG made it.
struct EspeakSentence {
    struct Word {
        int start = 0;  ///< first character (code point) of the word in the text, from 0
        int length = 0; ///< in code points
        qint64 sample = 0;
    };
    struct Phoneme {
        QByteArray ipa;    ///< UTF-8; empty for a pause
        qint64 sample = 0; ///< where it starts
    };
    std::vector<qint16> samples;
    QList<Word> words;
    QList<Phoneme> phonemes;
};

/// The calls into eSpeak NG, in a module of their own (chatterwisp-espeak.so), so that the program links none
/// of it and it is loaded only when a paragraph in another language is first spoken. eSpeak NG keeps global
/// state: every call holds one lock of the module's.
struct EspeakModuleApi {
    int version;
    /// Starts eSpeak NG once per process (synchronous output, IPA phoneme events); its sample rate and data
    /// folder.
    EspeakStatus (*initialise)(int& sampleRate, QByteArray& dataFolder);
    /// Every voice of espeak-ng-data/lang (after initialise).
    QList<EspeakLanguage> (*languages)();
    /// Speaks `utf8` (no markup, punctuation not named) with the voice file at `voiceFile` (loaded only when
    /// it is not the one loaded already) into `out`.
    EspeakStatus (*synthesize)(const char* voiceFile, const QByteArray& utf8,
                               const EspeakParameters& parameters, EspeakSentence& out);
};

inline constexpr int kEspeakModuleApiVersion = 1;

/// The module's one exported symbol: a function returning its EspeakModuleApi.
inline constexpr char kEspeakModuleEntry[] = "cw_espeak_module";

/// The module as loaded: its calls, or why there are none.
struct EspeakModuleLoad {
    const EspeakModuleApi* api = nullptr; ///< null when it could not be loaded
    QString failure;                      ///< every place looked in and why each failed; empty when loaded
};

/// The module, loaded on first use, from the same places as the flite module. Thread-safe; the caller logs a
/// failure.
const EspeakModuleLoad& espeakModule();

} // namespace cw::tts
