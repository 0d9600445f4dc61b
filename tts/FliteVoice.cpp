#include "FliteVoice.h"

#include "FliteModule.h"
#include "Whisper.h"
#include "WholeSentence.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <array>

namespace cw::tts {

Q_DECLARE_LOGGING_CATEGORY(lcTts)

namespace {

/// What was measured for a voice (bench/tts/calibrate.cpp): its speed at duration stretch 1, spoken a
/// sentence at a time as the engine does, over some 260 words of mixed text, and the median pitch it reaches
/// for a range of f0 targets. kal16 is the default: it synthesises about 25 times faster
/// than awb, so speech starts sooner, and once calibrated it follows the pitch as closely.
struct Calibration {
    const char* name;
    int sampleRate;
    int naturalPitchHz;
    double wordsPerMinuteAtStretch1;
    double f0StddevAtNatural;
    std::array<std::pair<double, double>, 9> targetToMeasuredHz;
};

const std::array<Calibration, 2> kVoices = {{
    {"kal16",
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

/// Registers a voice once per process; flite keeps it until the process ends. Null without the speech module
/// or when flite refuses the voice (logged once). Called with fliteLock() held.
void* voiceFor(int index) {
    static std::array<void*, kVoices.size()> loaded{};
    static std::array<bool, kVoices.size()> failureLogged{};
    if (loaded[index]) {
        return loaded[index];
    }
    const FliteModuleLoad& module = fliteModule();
    const FliteStatus status =
        module.api ? module.api->loadVoice(kVoices[index].name, &loaded[index]) : FliteStatus::Ok;
    if (!loaded[index] && !failureLogged[index]) {
        failureLogged[index] = true;
        if (!module.api) {
            qCCritical(lcTts).noquote() << "no speech:" << module.failure;
        } else {
            qCCritical(lcTts) << "no speech with voice" << kVoices[index].name << "-"
                              << fliteStatusMessage(status);
        }
    }
    return loaded[index];
}

} // namespace

QByteArray toFliteText(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        out += c.unicode() > 0 && c.unicode() < 256 ? char(c.unicode()) : ' ';
    }
    return out;
}

QMutex& fliteLock() {
    static QMutex lock;
    return lock;
}

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

bool FliteVoice::load() const {
    QMutexLocker lock(&fliteLock());
    return handle() != nullptr;
}

void* FliteVoice::handle() const {
    if (!voice_) {
        voice_ = voiceFor(index_);
    }
    return voice_;
}

std::unique_ptr<SentenceSynthesis> FliteVoice::begin(const QString& text, const VoiceSettings& voice) const {
    Utterance utterance = synthesizeWith(text, parametersFor(voice));
    if (voice.character == VoiceCharacter::Whisper) {
        utterance.samples = whisper(utterance.samples, sampleRate());
    }
    return std::make_unique<WholeSentence>(std::move(utterance));
}

Utterance FliteVoice::synthesizeWith(const QString& text, const Parameters& parameters) const {
    const Calibration& cal = kVoices[index_];
    Utterance out;
    QMutexLocker lock(&fliteLock());
    if (!handle()) {
        return out; // logged where the voice failed to load
    }
    const FliteStatus status =
        fliteModule().api->synthesize(voice_, toFliteText(text), parameters, cal.sampleRate, out);
    if (status != FliteStatus::Ok) {
        qCWarning(lcTts) << "nothing synthesised:" << fliteStatusMessage(status);
        return {};
    }
    return out;
}

} // namespace cw::tts
