#include "HtsVoice.h"

#include "FliteModule.h"
#include "HighBandSwap.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <algorithm>
#include <cmath>

namespace cw::tts {

Q_DECLARE_LOGGING_CATEGORY(lcTts)

namespace {

constexpr int kSampleRate = 32000;
/// Measured on the voice as it is shipped (bench/tts/calibrate.cpp): the median pitch of its voiced frames
/// and its speed, spoken a sentence at a time, at engine speed 1.
constexpr int kNaturalPitchHz = 170;
constexpr double kWordsPerMinuteAtSpeed1 = 186.7;
/// Whispering is softer than speaking, as with the other voices.
constexpr double kWhisperLoudness = 0.6;
/// Above this, voiced frames are made from noise (see HighBandSwap).
constexpr double kNoiseAboveHz = 5000;

struct VocoderDeleter {
    void operator()(void* vocoder) const { fliteModule().api->htsFreeVocoder(vocoder); }
};

using Vocoder = std::unique_ptr<void, VocoderDeleter>;

Vocoder newVocoder(const HtsFrames& frames) {
    FliteStatus status = FliteStatus::Ok;
    Vocoder vocoder(fliteModule().api->htsNewVocoder(frames, status));
    if (!vocoder) {
        static bool logged = false;
        if (!std::exchange(logged, true)) {
            qCCritical(lcTts) << "no speech with voice" << HtsVoice::kName << "-"
                              << fliteStatusMessage(status);
        }
    }
    return vocoder;
}

/// One sentence: all its frames' parameters are made at once (a few milliseconds), the sound a frame at a
/// time as it is read. With a noise vocoder, a second vocoder makes every frame from noise, and above 5 kHz
/// the sound is taken from it: the pulses' harmonics, a buzz up there, give way to breath, as in a human
/// voice.
class HtsSentence final : public SentenceSynthesis {
public:
    HtsSentence(QList<ChunkTiming::Phone> phones, QList<Utterance::Token> tokens, HtsFrames frames,
                Vocoder vocoder, Vocoder noiseVocoder, double alpha, double loudness)
        : SentenceSynthesis(std::move(phones), std::move(tokens),
                            qint64(frames.frames()) * frames.framePeriod),
          frames_(std::move(frames)), vocoder_(std::move(vocoder)), noiseVocoder_(std::move(noiseVocoder)),
          alpha_(alpha), loudness_(loudness), frame_(std::size_t(frames_.framePeriod)),
          noise_(std::size_t(frames_.framePeriod)), bands_(kNoiseAboveHz, frames_.sampleRate) {}

private:
    void produce(qint64 from, qint64 count, qint16* out) override {
        const qint64 period = frames_.framePeriod;
        while (count > 0) {
            const int frame = int(from / period);
            if (frame != madeFrame_) {
                // Frames skipped over are never made; the vocoders go on from the last one they made.
                const FliteModuleApi& api = *fliteModule().api;
                api.htsVocode(vocoder_.get(), frames_, frame, true, alpha_, 0.0, frame_.data());
                if (noiseVocoder_) {
                    api.htsVocode(noiseVocoder_.get(), frames_, frame, false, alpha_, 0.0, noise_.data());
                    bands_.mix(frame_, noise_);
                }
                madeFrame_ = frame;
            }
            const qint64 within = from % period;
            const qint64 n = std::min(count, period - within);
            std::transform(frame_.begin() + within, frame_.begin() + within + n, out,
                           [this](qint16 s) { return qint16(std::lround(s * loudness_)); });
            out += n;
            from += n;
            count -= n;
        }
    }

    HtsFrames frames_;
    Vocoder vocoder_;
    Vocoder noiseVocoder_;
    double alpha_;
    double loudness_;
    std::vector<qint16> frame_;
    std::vector<qint16> noise_;
    HighBandSwap bands_;
    int madeFrame_ = -1;
};

} // namespace

QString HtsVoice::voiceFile() {
    const QString chosen = qEnvironmentVariable("CHATTERWISP_HTS_VOICE");
    return chosen.isEmpty() ? QStringLiteral("/usr/share/festival/voices/us/cmu_us_slt_arctic_hts/hts/"
                                             "cmu_us_slt_arctic_hts.htsvoice")
                            : chosen;
}

bool HtsVoice::available() {
    return QFileInfo(voiceFile()).isFile();
}

int HtsVoice::sampleRate() const {
    return kSampleRate;
}

int HtsVoice::naturalPitchHz() const {
    return kNaturalPitchHz;
}

int HtsVoice::naturalWordsPerMinute() const {
    return int(kWordsPerMinuteAtSpeed1 + 0.5);
}

void* HtsVoice::engine() const {
    static bool failureLogged = false;
    if (engine_) {
        return engine_;
    }
    const FliteModuleLoad& module = fliteModule();
    if (!module.api) {
        return nullptr; // the front end has said why already
    }
    const FliteStatus status = module.api->htsLoadVoice(voiceFile().toLocal8Bit().constData(), &engine_);
    if (status != FliteStatus::Ok && !failureLogged) {
        failureLogged = true;
        qCCritical(lcTts).noquote() << "no speech with voice" << kName << "from" << voiceFile() << "-"
                                    << fliteStatusMessage(status);
    }
    return status == FliteStatus::Ok ? engine_ : nullptr;
}

bool HtsVoice::load() const {
    QMutexLocker lock(&fliteLock());
    return frontEnd_.handle() && engine();
}

HtsControl HtsVoice::controlFor(const VoiceSettings& voice) const {
    HtsControl control;
    double pitch = voice.pitchHz;
    double wordsPerMinute = voice.wordsPerMinute;
    if (voice.emphasis) {
        pitch *= 1.25;
        wordsPerMinute /= 1.1;
    }
    control.speed = wordsPerMinute / kWordsPerMinuteAtSpeed1;
    // The whole contour moves, so intonation keeps its shape (in semitones) at any pitch.
    control.logF0Shift = std::log(pitch / kNaturalPitchHz);
    control.monotone = voice.character == VoiceCharacter::Monotone;
    control.monotoneLogF0 = std::log(pitch);
    control.voicingThreshold = voice.character == VoiceCharacter::Whisper ? 1.0 : 0.5;
    return control;
}

bool HtsVoice::framesFor(const QString& text, const VoiceSettings& voice, HtsLabelling& labelling,
                         HtsFrames& frames) const {
    QMutexLocker lock(&fliteLock());
    void* const front = frontEnd_.handle();
    void* const hts = front ? engine() : nullptr;
    if (!hts) {
        return false;
    }
    const FliteModuleApi& api = *fliteModule().api;
    return api.htsLabels(front, toFliteText(text), labelling) == FliteStatus::Ok &&
           api.htsFrames(hts, labelling.labels, controlFor(voice), frames) == FliteStatus::Ok &&
           frames.phoneFrames.size() == std::size_t(labelling.phones.size());
}

std::pair<int, int> HtsVoice::voicedFrames(const QString& text, const VoiceSettings& voice) const {
    HtsLabelling labelling;
    HtsFrames frames;
    if (!framesFor(text, voice, labelling, frames)) {
        return {0, 0};
    }
    const auto voiced = std::count_if(frames.logF0.begin(), frames.logF0.end(),
                                      [](double logF0) { return logF0 != HtsFrames::kUnvoiced; });
    return {int(voiced), frames.frames()};
}

std::unique_ptr<SentenceSynthesis> HtsVoice::begin(const QString& text, const VoiceSettings& voice) const {
    HtsLabelling labelling;
    HtsFrames frames;
    if (!framesFor(text, voice, labelling, frames)) {
        return nullptr;
    }
    Vocoder vocoder = newVocoder(frames);
    const bool whisper = voice.character == VoiceCharacter::Whisper; // noise throughout already
    Vocoder noiseVocoder = buzzReduction_ && !whisper ? newVocoder(frames) : Vocoder();
    if (!vocoder || (buzzReduction_ && !whisper && !noiseVocoder)) {
        return nullptr;
    }
    QList<ChunkTiming::Phone> phones;
    QList<Utterance::Token> tokens;
    qint64 end = 0;
    int lastWord = -1;
    for (qsizetype i = 0; i < labelling.phones.size(); ++i) {
        const HtsLabelling::Phone& phone = labelling.phones[i];
        if (phone.word >= 0 && phone.word != lastWord && labelling.words[phone.word].startsToken) {
            tokens << Utterance::Token{QString::fromLatin1(labelling.words[phone.word].token), end};
        }
        lastWord = phone.word >= 0 ? phone.word : lastWord;
        end += qint64(frames.phoneFrames[std::size_t(i)]) * frames.framePeriod;
        phones << ChunkTiming::Phone{phone.name, end};
    }
    const double loudness = voice.character == VoiceCharacter::Whisper ? kWhisperLoudness : 1.0;
    return std::make_unique<HtsSentence>(std::move(phones), std::move(tokens), std::move(frames),
                                         std::move(vocoder), std::move(noiseVocoder), alpha_, loudness);
}

std::vector<qint16> HtsVoice::engineWaveform(const QString& text, const VoiceSettings& voice) const {
    std::vector<qint16> out;
    QMutexLocker lock(&fliteLock());
    void* const front = frontEnd_.handle();
    void* const hts = front ? engine() : nullptr;
    HtsLabelling labelling;
    if (hts && fliteModule().api->htsLabels(front, toFliteText(text), labelling) == FliteStatus::Ok) {
        fliteModule().api->htsEngineWaveform(hts, labelling.labels, controlFor(voice), out);
    }
    return out;
}

} // namespace cw::tts
