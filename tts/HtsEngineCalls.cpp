// The module's calls into the HTS engine (hts_engine API 1.10): parameters for a sentence's frames, and a
// vocoder that turns them into sound one frame at a time.
//
// The engine's public header offers the whole waveform only (HTS_Engine_generate_sample_sequence), which
// costs some 90 ms before the first sample of a sentence. Its vocoder, which makes one frame at a time, is
// compiled into the same library with external linkage but declared only in a header that is not installed.
// It is reached here safely because:
// - the package depends on the 1.10 release only (libhtsengine1 >= 1.10, << 1.11), the one this module is
//   built and tested against;
// - only its three functions are declared, taking the vocoder as an opaque pointer: this module never reads
// or
//   writes the vocoder's fields, it only gives it storage, many times larger than it needs (the storage's
//   unused half is checked after set-up, and a vocoder that grew into it is refused);
// - the frames it is given are copied exactly as the engine's own sample generation copies them, and a test
//   checks that the frame-by-frame sound equals the engine's whole waveform sample for sample.
#include "HtsEngineCalls.h"
#include "FliteModule.h"

#include <HTS_engine.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

extern "C" {
void HTS_Vocoder_initialize(void* vocoder, size_t order, size_t stage, HTS_Boolean useLogGain, size_t rate,
                            size_t framePeriod);
void HTS_Vocoder_synthesize(void* vocoder, size_t order, double logF0, double* spectrum, size_t lowPassOrder,
                            double* lowPass, double alpha, double beta, double volume, double* samples,
                            HTS_Audio* audio);
void HTS_Vocoder_clear(void* vocoder);
}

namespace cw::tts {
namespace {

constexpr std::size_t kVocoderStorage = 4096; ///< the vocoder of 1.10 takes 264 bytes on a 64-bit machine
constexpr unsigned char kUntouched = 0xA5;
constexpr std::size_t kMcpStream = 0;
constexpr std::size_t kLogF0Stream = 1;

struct Vocoder {
    alignas(std::max_align_t) std::array<unsigned char, kVocoderStorage> state;
    std::vector<double> spectrum; ///< the vocoder's postfilter works on the frame in place: a copy
    std::vector<double> samples;
    bool initialised = false;
    ~Vocoder() {
        if (initialised) {
            HTS_Vocoder_clear(state.data());
        }
    }
};

/// A sample of 16 bits. The vocoder clips what it makes, but a filter driven unstable by odd parameters can
/// make a value that is no number: that is silence.
qint16 toSample(double sample) {
    return std::isfinite(sample) ? qint16(std::clamp(sample, -32768.0, 32767.0)) : qint16(0);
}

std::vector<char*> linesOf(std::vector<QByteArray>& copies) {
    std::vector<char*> lines;
    for (QByteArray& line : copies) {
        lines.push_back(line.data());
    }
    return lines;
}

/// Runs the engine up to its parameters, moved as `control` asks.
bool generateParameters(HTS_Engine* engine, const QList<QByteArray>& labels, const HtsControl& control) {
    HTS_Engine_refresh(engine);
    HTS_Engine_set_speed(engine, std::max(control.speed, 0.05));
    HTS_Engine_set_msd_threshold(engine, kLogF0Stream, control.voicingThreshold);
    HTS_Engine_set_gv_weight(engine, kLogF0Stream, control.monotone ? 0.0 : 1.0);
    std::vector<QByteArray> copies(labels.begin(), labels.end()); // the engine takes lines it may write to
    std::vector<char*> lines = linesOf(copies);
    if (lines.empty() ||
        !HTS_Engine_generate_state_sequence_from_strings(engine, lines.data(), lines.size())) {
        return false;
    }
    const std::size_t states = HTS_Engine_get_total_state(engine);
    for (std::size_t s = 0; s < states; ++s) {
        if (control.monotone) {
            HTS_Engine_set_state_mean(engine, kLogF0Stream, s, 0, control.monotoneLogF0);
            HTS_Engine_set_state_mean(engine, kLogF0Stream, s, 1, 0); // no rise or fall
            HTS_Engine_set_state_mean(engine, kLogF0Stream, s, 2, 0);
        } else if (control.logF0Shift != 0) {
            HTS_Engine_set_state_mean(engine, kLogF0Stream, s, 0,
                                      HTS_Engine_get_state_mean(engine, kLogF0Stream, s, 0) +
                                          control.logF0Shift);
        }
    }
    return HTS_Engine_generate_parameter_sequence(engine) && engine->pss.total_frame > 0;
}

} // namespace

FliteStatus htsLoadVoice(const char* path, void** engine) {
    static HTS_Engine theEngine;
    static bool loaded = false;
    if (!loaded) {
        HTS_Engine_initialize(&theEngine);
        std::vector<QByteArray> copies{QByteArray(path)};
        std::vector<char*> voices = linesOf(copies);
        if (!HTS_Engine_load(&theEngine, voices.data(), voices.size())) {
            HTS_Engine_clear(&theEngine);
            return FliteStatus::HtsVoiceNotLoaded;
        }
        loaded = true;
    }
    *engine = &theEngine;
    return FliteStatus::Ok;
}

FliteStatus htsFrames(void* engineHandle, const QList<QByteArray>& labels, const HtsControl& control,
                      HtsFrames& out) {
    auto* engine = static_cast<HTS_Engine*>(engineHandle);
    out = {};
    if (!generateParameters(engine, labels, control)) {
        HTS_Engine_refresh(engine);
        return FliteStatus::HtsNoParameters;
    }
    const HTS_PStreamSet& pss = engine->pss;
    const HTS_PStream& mcp = pss.pstream[kMcpStream];
    const HTS_PStream& logF0 = pss.pstream[kLogF0Stream];
    out.sampleRate = int(HTS_Engine_get_sampling_frequency(engine));
    out.framePeriod = int(HTS_Engine_get_fperiod(engine));
    out.order = int(mcp.vector_length) - 1;
    out.stage = int(engine->condition.stage);
    out.useLogGain = engine->condition.use_log_gain;
    out.alpha = engine->condition.alpha;
    out.beta = engine->condition.beta;
    const std::size_t frames = pss.total_frame;
    out.logF0.reserve(frames);
    out.spectrum.reserve(frames * mcp.vector_length);
    // The log-F0 stream holds values for its voiced frames only, in order.
    for (std::size_t f = 0, voiced = 0; f < frames; ++f) {
        out.logF0.push_back(logF0.msd_flag[f] ? logF0.par[voiced++][0] : HtsFrames::kUnvoiced);
        out.spectrum.insert(out.spectrum.end(), mcp.par[f], mcp.par[f] + mcp.vector_length);
    }
    const std::size_t statesPerPhone = HTS_Engine_get_nstate(engine);
    const std::size_t states = HTS_Engine_get_total_state(engine);
    for (std::size_t s = 0; s < states; ++s) {
        if (s % statesPerPhone == 0) {
            out.phoneFrames.push_back(0);
        }
        out.phoneFrames.back() += int(HTS_Engine_get_state_duration(engine, s));
    }
    HTS_Engine_refresh(engine);
    return FliteStatus::Ok;
}

void* htsNewVocoder(const HtsFrames& frames, FliteStatus& status) {
    auto vocoder = std::make_unique<Vocoder>();
    vocoder->state.fill(kUntouched);
    HTS_Vocoder_initialize(vocoder->state.data(), std::size_t(frames.order), std::size_t(frames.stage),
                           frames.useLogGain, std::size_t(frames.sampleRate),
                           std::size_t(frames.framePeriod));
    vocoder->initialised = true;
    const auto unused = vocoder->state.begin() + kVocoderStorage / 2;
    if (!std::all_of(unused, vocoder->state.end(), [](unsigned char b) { return b == kUntouched; })) {
        vocoder->initialised = false; // never hand its fields to the engine again
        status = FliteStatus::VocoderUnusable;
        return nullptr;
    }
    vocoder->spectrum.resize(std::size_t(frames.order) + 1);
    vocoder->samples.resize(std::size_t(frames.framePeriod));
    status = FliteStatus::Ok;
    return vocoder.release();
}

void htsVocode(void* handle, const HtsFrames& frames, int frame, bool voiced, double alpha, double beta,
               qint16* out) {
    auto* vocoder = static_cast<Vocoder*>(handle);
    const std::size_t width = std::size_t(frames.order) + 1;
    std::copy_n(frames.spectrum.begin() + std::ptrdiff_t(std::size_t(frame) * width), width,
                vocoder->spectrum.begin());
    const double logF0 = voiced ? frames.logF0[std::size_t(frame)] : HtsFrames::kUnvoiced;
    HTS_Vocoder_synthesize(vocoder->state.data(), std::size_t(frames.order), logF0, vocoder->spectrum.data(),
                           0, nullptr, alpha, beta, 1.0, vocoder->samples.data(), nullptr);
    std::transform(vocoder->samples.begin(), vocoder->samples.end(), out, toSample);
}

void htsFreeVocoder(void* vocoder) {
    delete static_cast<Vocoder*>(vocoder);
}

FliteStatus htsEngineWaveform(void* engineHandle, const QList<QByteArray>& labels, const HtsControl& control,
                              std::vector<qint16>& out) {
    auto* engine = static_cast<HTS_Engine*>(engineHandle);
    out.clear();
    if (!generateParameters(engine, labels, control) || !HTS_Engine_generate_sample_sequence(engine)) {
        HTS_Engine_refresh(engine);
        return FliteStatus::HtsNoParameters;
    }
    const std::size_t samples = HTS_Engine_get_nsamples(engine);
    out.reserve(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        out.push_back(toSample(HTS_Engine_get_generated_speech(engine, i)));
    }
    HTS_Engine_refresh(engine);
    return FliteStatus::Ok;
}

} // namespace cw::tts
