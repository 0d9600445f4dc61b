#include "platform/tts/FliteVoice.h"

#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <array>

extern "C" {
#include <flite.h>
cst_voice* register_cmu_us_kal16(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
}

namespace cw::tts {
namespace {

/// What was measured for a voice (bench/tts/calibrate.cpp): its speed at duration stretch 1, spoken a
/// sentence at a time as the engine does, over some 260 words of mixed text, and the median pitch it reaches
/// for a range of f0 targets. kal16 is the default: it synthesises about 25 times faster
/// than awb, so speech starts sooner, and once calibrated it follows the pitch as closely.
struct Calibration {
    const char* name;
    cst_voice* (*registerVoice)(const char*);
    int sampleRate;
    int naturalPitchHz;
    double wordsPerMinuteAtStretch1;
    double f0StddevAtNatural;
    std::array<std::pair<double, double>, 9> targetToMeasuredHz;
};

const std::array<Calibration, 2> kVoices = {{
    {"kal16",
     register_cmu_us_kal16,
     16000,
     95,
     198.4,
     11.0,
     {{{50, 50.0},
       {60, 54.4},
       {80, 73.7},
       {100, 92.0},
       {150, 141.6},
       {200, 197.5},
       {300, 320.0},
       {400, 432.4},
       {500, 484.8}}}},
    {"awb",
     register_cmu_us_awb,
     16000,
     95,
     188.1,
     11.0,
     {{{50, 50.3},
       {60, 59.5},
       {80, 79.2},
       {100, 99.4},
       {150, 148.1},
       {200, 197.5},
       {300, 296.3},
       {400, 400.0},
       {500, 500.0}}}},
}};

QMutex& fliteLock() {
    static QMutex lock;
    return lock;
}

/// Registers a voice once per process; flite keeps it until the process ends.
cst_voice* voiceFor(int index) {
    static std::array<cst_voice*, kVoices.size()> loaded{};
    static bool initialised = false;
    if (!initialised) {
        flite_init();
        initialised = true;
    }
    if (!loaded[index]) {
        loaded[index] = kVoices[index].registerVoice(nullptr);
    }
    return loaded[index];
}

/// flite reads 8-bit text; characters beyond Latin-1 become blanks rather than garbage.
QByteArray toFliteText(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        out += c.unicode() > 0 && c.unicode() < 256 ? char(c.unicode()) : ' ';
    }
    return out;
}

} // namespace

QStringList FliteVoice::names() {
    QStringList out;
    for (const auto& v : kVoices) {
        out << QString::fromLatin1(v.name);
    }
    return out;
}

FliteVoice::FliteVoice(const QString& name) {
    const QStringList all = names();
    index_ = std::max(0, int(all.indexOf(name)));
    name_ = all[index_];
}

int FliteVoice::sampleRate() const {
    return kVoices[index_].sampleRate;
}

int FliteVoice::naturalPitchHz() const {
    return kVoices[index_].naturalPitchHz;
}

int FliteVoice::naturalWordsPerMinute() const {
    return int(kVoices[index_].wordsPerMinuteAtStretch1 + 0.5);
}

double FliteVoice::f0TargetFor(int pitchHz) const {
    // Invert the measured target-to-pitch curve by linear interpolation.
    const auto& points = kVoices[index_].targetToMeasuredHz;
    const double want = pitchHz;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const auto [t0, m0] = points[i - 1];
        const auto [t1, m1] = points[i];
        if (want <= m1 || i + 1 == points.size()) {
            return t0 + (want - m0) * (t1 - t0) / (m1 - m0);
        }
    }
    return want;
}

double FliteVoice::durationStretchFor(int wordsPerMinute) const {
    return kVoices[index_].wordsPerMinuteAtStretch1 / std::max(wordsPerMinute, 1);
}

FliteVoice::Parameters FliteVoice::parametersFor(const VoiceSettings& voice) const {
    const Calibration& cal = kVoices[index_];
    Parameters p;
    p.f0Mean = f0TargetFor(voice.pitchHz);
    p.stretch = durationStretchFor(voice.wordsPerMinute);
    if (voice.emphasis) {
        p.f0Mean *= 1.25;
        p.stretch *= 1.1;
    }
    // Intonation keeps its shape at any pitch: the spread grows with the mean.
    p.f0Stddev = voice.character == VoiceCharacter::Monotone
                     ? 0.0
                     : cal.f0StddevAtNatural * p.f0Mean / cal.naturalPitchHz;
    return p;
}

Utterance FliteVoice::synthesize(const QString& text, const VoiceSettings& voice) const {
    return synthesizeWith(text, parametersFor(voice));
}

Utterance FliteVoice::synthesizeWith(const QString& text, const Parameters& parameters) const {
    const Calibration& cal = kVoices[index_];
    Utterance out;
    QMutexLocker lock(&fliteLock());
    if (!voice_) {
        voice_ = voiceFor(index_);
    }
    feat_set_float(voice_->features, "int_f0_target_mean", float(parameters.f0Mean));
    feat_set_float(voice_->features, "int_f0_target_stddev", float(parameters.f0Stddev));
    feat_set_float(voice_->features, "duration_stretch", float(parameters.stretch));
    const QByteArray bytes = toFliteText(text);
    cst_utterance* utt = flite_synth_text(bytes.constData(), voice_);
    if (!utt) {
        return out;
    }
    const cst_wave* wave = utt_wave(utt);
    if (wave && wave->num_samples > 0) {
        out.samples.assign(wave->samples, wave->samples + wave->num_samples);
    }
    const double rate = wave ? wave->sample_rate : cal.sampleRate;
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
    return out;
}

} // namespace cw::tts
