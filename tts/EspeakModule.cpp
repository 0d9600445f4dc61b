// The module itself: every call into eSpeak NG. Built as chatterwisp-espeak.so, exporting only
// kEspeakModuleEntry.
#include "EspeakModule.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <cstring>
#include <mutex>
#include <string>

namespace cw::tts {
namespace {

/// eSpeak NG keeps global state (the voice, the dictionary, the synthesis callback): one call at a time.
std::mutex& espeakLock() {
    static std::mutex lock;
    return lock;
}

/// A sentence longer than this (in samples) is cut short: no text the engine sends is near it, and a
/// pathological one must not fill the memory.
constexpr std::size_t kMostSamples = std::size_t(22050) * 180;

struct State {
    bool tried = false;
    int sampleRate = 0;
    QByteArray dataFolder;
    std::string loadedVoiceFile;
    EspeakSentence* collecting = nullptr; ///< where the callback puts what it is given
};

State& state() {
    static State s;
    return s;
}

int collect(short* wav, int count, espeak_EVENT* events) {
    EspeakSentence* out = state().collecting;
    if (!out) {
        return 1;
    }
    const int rate = state().sampleRate;
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        const qint64 sample = qint64(e->audio_position) * rate / 1000;
        if (e->type == espeakEVENT_WORD) {
            out->words << EspeakSentence::Word{e->text_position - 1, e->length, sample};
        } else if (e->type == espeakEVENT_PHONEME) {
            out->phonemes << EspeakSentence::Phoneme{
                QByteArray(e->id.string, int(strnlen(e->id.string, sizeof e->id.string))), sample};
        }
    }
    if (wav && count > 0) {
        out->samples.insert(out->samples.end(), wav, wav + count);
    }
    return out->samples.size() > kMostSamples ? 1 : 0; // 1 stops the synthesis
}

// Called with the lock held.
EspeakStatus initialiseLocked() {
    State& s = state();
    if (!s.tried) {
        s.tried = true;
        // DONT_EXIT: without it eSpeak NG ends the process when its data is missing.
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                           espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_PHONEME_IPA |
                                               espeakINITIALIZE_DONT_EXIT);
        if (rate > 0) {
            s.sampleRate = rate;
            const char* folder = nullptr;
            espeak_Info(&folder);
            s.dataFolder = QByteArray(folder ? folder : "");
            espeak_SetSynthCallback(collect);
        }
    }
    return s.sampleRate > 0 ? EspeakStatus::Ok : EspeakStatus::NoData;
}

EspeakStatus initialise(int& sampleRate, QByteArray& dataFolder) {
    const std::lock_guard lock(espeakLock());
    const EspeakStatus status = initialiseLocked();
    sampleRate = state().sampleRate;
    dataFolder = state().dataFolder;
    return status;
}

QList<EspeakLanguage> languages() {
    const std::lock_guard lock(espeakLock());
    QList<EspeakLanguage> out;
    if (initialiseLocked() != EspeakStatus::Ok) {
        return out;
    }
    for (const espeak_VOICE** v = espeak_ListVoices(nullptr); v && *v; ++v) {
        if ((*v)->identifier) {
            out << EspeakLanguage{QByteArray((*v)->identifier), QByteArray((*v)->name ? (*v)->name : "")};
        }
    }
    return out;
}

EspeakStatus synthesize(const char* voiceFile, const QByteArray& utf8, const EspeakParameters& parameters,
                        EspeakSentence& out) {
    const std::lock_guard lock(espeakLock());
    State& s = state();
    if (initialiseLocked() != EspeakStatus::Ok) {
        return EspeakStatus::NoData;
    }
    // Loading a voice reads its dictionary: only when the language or the pitch changes.
    if (s.loadedVoiceFile != voiceFile) {
        s.loadedVoiceFile.clear();
        if (espeak_ng_SetVoiceByFile(voiceFile) != ENS_OK) {
            return EspeakStatus::VoiceRefused;
        }
        s.loadedVoiceFile = voiceFile;
    }
    espeak_SetParameter(espeakRATE, parameters.wordsPerMinute, 0);
    espeak_SetParameter(espeakPITCH, 50, 0); // the voice file's own pitch, unscaled
    espeak_SetParameter(espeakRANGE, parameters.monotone ? 0 : 50, 0);
    espeak_SetParameter(espeakVOLUME, 100, 0);
    espeak_SetParameter(espeakPUNCTUATION, espeakPUNCT_NONE, 0);
    espeak_SetParameter(espeakCAPITALS, 0, 0);
    espeak_SetParameter(espeakWORDGAP, parameters.wordGap, 0);
    out = {};
    s.collecting = &out;
    // No espeakSSML and no phoneme input: the text is read as it is. ENDPAUSE: the sentence ends in the
    // pause eSpeak NG puts between sentences, as the other voices' do.
    const espeak_ERROR result = espeak_Synth(utf8.constData(), std::size_t(utf8.size()) + 1, 0, POS_CHARACTER,
                                             0, espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, nullptr);
    s.collecting = nullptr;
    return result == EE_OK ? EspeakStatus::Ok : EspeakStatus::NothingSpoken;
}

constexpr EspeakModuleApi kApi{kEspeakModuleApiVersion, initialise, languages, synthesize};

} // namespace
} // namespace cw::tts

extern "C" Q_DECL_EXPORT const cw::tts::EspeakModuleApi* cw_espeak_module() {
    return &cw::tts::kApi;
}
