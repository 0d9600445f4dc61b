// The module itself: every call into flite. Built as chatterwisp-flite.so, exporting only kFliteModuleEntry.
#include "FliteModule.h"
#include "HtsEngineCalls.h"
#include "HtsLabels.h"

extern "C" {
#include <flite.h>
cst_voice* register_cmu_us_kal16(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
}

namespace cw::tts {
namespace {

// The caller serialises every call: flite keeps global state.
FliteStatus loadVoice(const char* name, void** voice) {
    static bool initialised = false;
    if (!initialised) {
        flite_init();
        initialised = true;
    }
    if (qstrcmp(name, "kal16") == 0) {
        *voice = register_cmu_us_kal16(nullptr);
    } else if (qstrcmp(name, "awb") == 0) {
        *voice = register_cmu_us_awb(nullptr);
    } else {
        return FliteStatus::UnknownVoice;
    }
    return *voice ? FliteStatus::Ok : FliteStatus::VoiceNotRegistered;
}

FliteStatus synthesize(void* voiceHandle, const QByteArray& text, const FliteVoice::Parameters& parameters,
                       int fallbackSampleRate, Utterance& out) {
    auto* voice = static_cast<cst_voice*>(voiceHandle);
    feat_set_float(voice->features, "int_f0_target_mean", float(parameters.f0Mean));
    feat_set_float(voice->features, "int_f0_target_stddev", float(parameters.f0Stddev));
    feat_set_float(voice->features, "duration_stretch", float(parameters.stretch));
    cst_utterance* utt = flite_synth_text(text.constData(), voice);
    if (!utt) {
        return FliteStatus::NoUtterance;
    }
    const cst_wave* wave = utt_wave(utt);
    if (wave && wave->num_samples > 0) {
        out.samples.assign(wave->samples, wave->samples + wave->num_samples);
    }
    const double rate = wave ? wave->sample_rate : fallbackSampleRate;
    const cst_item* lastToken = nullptr;
    qint64 start = 0;
    for (cst_item* seg = relation_head(utt_relation(utt, "Segment")); seg; seg = item_next(seg)) {
        const qint64 end = qint64(item_feat_float(seg, "end") * rate + 0.5);
        out.phones << ChunkTiming::Phone{QByteArray(item_feat_string(seg, "name")), end};
        const cst_item* token = path_to_item(seg, "R:SylStructure.parent.parent.R:Token.parent");
        if (token && token != lastToken) {
            out.tokens << Utterance::Token{QString::fromLatin1(item_feat_string(token, "name")), start};
            lastToken = token;
        }
        start = end;
    }
    delete_utterance(utt);
    return FliteStatus::Ok;
}

constexpr FliteModuleApi kApi{kFliteModuleApiVersion, loadVoice,        synthesize,    writeHtsLabels,
                              htsLoadVoice,           htsFrames,        htsNewVocoder, htsVocode,
                              htsFreeVocoder,         htsEngineWaveform};

} // namespace
} // namespace cw::tts

extern "C" Q_DECL_EXPORT const cw::tts::FliteModuleApi* cw_flite_module() {
    return &cw::tts::kApi;
}
