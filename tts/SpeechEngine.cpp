#include "SpeechEngine.h"

#include "FliteVoice.h"
#include "PcmStream.h"
#include "RequestSynthesizer.h"
#include "SpeechTags.h"

#include "core/Trace.h"
#include "platform/audio/PulseOutput.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace cw::tts {

Q_LOGGING_CATEGORY(lcTts, "chatterwisp.tts")

namespace {

constexpr int kUsEnglish = 1033;
/// How far synthesis may run ahead of the listener: enough to ride out a slow chunk, little memory.
constexpr int kSecondsAhead = 3;
/// How often the timeline is checked against the audio clock.
constexpr int kTickMs = 10;
/// A device whose clock stands still this long while it holds audio is treated as gone (a frozen server).
constexpr qint64 kStallMs = 4000;
/// A server that has not begun to play this long after the first samples were ready is not answering.
constexpr qint64 kNoStartMs = 1500;

struct Job {
    std::shared_ptr<PcmStream> stream;
    ParsedRequest request;
    QString voice;
    std::function<void()> notify;
};

/// The one thread that runs the synthesiser; requests are done one after another.
class SynthesisThread {
public:
    /// Loads `warmVoice` at once, on the thread, so the first request is as quick as any other.
    explicit SynthesisThread(QString warmVoice)
        : warmVoice_(std::move(warmVoice)), thread_([this] { run(); }) {}
    ~SynthesisThread() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
            for (auto& job : jobs_) {
                job.stream->abort();
            }
            if (current_) {
                current_->abort();
            }
        }
        wake_.notify_all();
        thread_.join();
    }
    SynthesisThread(const SynthesisThread&) = delete;
    SynthesisThread& operator=(const SynthesisThread&) = delete;

    void post(Job job) {
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_all();
    }

private:
    void run() {
        std::map<QString, std::unique_ptr<FliteVoice>> voices;
        if (!warmVoice_.isEmpty()) {
            // A word synthesised and thrown away loads the voice, the lexicon and the synthesiser's code.
            auto& voice = voices[warmVoice_];
            voice = std::make_unique<FliteVoice>(warmVoice_);
            if (!voice->synthesize(QStringLiteral("Hi."), VoiceSettings{}).samples.empty()) {
                trace("voice ready");
            }
        }
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
                if (quit_) {
                    return;
                }
                job = std::move(jobs_.front());
                jobs_.pop_front();
                current_ = job.stream;
            }
            auto& voice = voices[job.voice];
            if (!voice) {
                voice = std::make_unique<FliteVoice>(job.voice);
            }
            RequestSynthesizer synth(*voice, std::move(job.request));
            bool first = true;
            while (!synth.atEnd() && job.stream->waitForRoom()) {
                SynthChunk chunk = synth.next();
                if (first && !chunk.samples.empty()) {
                    first = false;
                    trace("first samples ready", qint64(chunk.samples.size()));
                }
                job.stream->append(std::move(chunk), synth.charactersSynthesised());
                job.notify();
            }
            job.stream->finish();
            job.notify();
            std::lock_guard lock(mutex_);
            current_.reset();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::shared_ptr<PcmStream> current_;
    bool quit_ = false;
    const QString warmVoice_;
    std::thread thread_; ///< last: starts once everything above exists
};

} // namespace

struct SpeechEngine::Impl {
    SpeechEngine* q = nullptr;
    AudioOutput output = AudioOutput::DefaultDevice;
    QString voiceName = FliteVoice::names().front();
    int sampleRate = 0;
    VoiceSettings defaults;
    int languageId = kUsEnglish;
    QString lastRequest;
    quint64 nextId = 0;
    SpeechStatistics lastStatistics;

    /// The request being spoken.
    struct Current {
        quint64 id = 0;
        QString balloonText;
        std::shared_ptr<PcmStream> stream;
        bool startedSent = false;
        bool onClock = true;
        bool clockWaits = false; ///< on the clock, which starts with the first samples
        qint64 clockBase = 0;    ///< sample position when the clock (re)started
        QElapsedTimer clock;
        QElapsedTimer sinceRequest;
        qint64 heard = 0; ///< the audible position, never going back
        QElapsedTimer stall;
        SpeechStatistics statistics;
    };
    std::unique_ptr<Current> current;

    /// Connected from the start and kept between requests, so a request starts without setting anything up;
    /// it follows the sound server when that goes away and comes back. None when the engine is silent.
    std::unique_ptr<cw::audio::PulseOutput> out;
    QTimer tick;
    /// Last: its thread, which wakes `out`, ends before anything else goes.
    std::unique_ptr<SynthesisThread> synthesis;

    void startOutput();
    /// From `sample` on, the timeline runs on a clock.
    void useClockFrom(qint64 sample);
    qint64 audiblePosition();
    void onTick();
};

SpeechEngine::SpeechEngine(QObject* parent) : SpeechEngine(AudioOutput::DefaultDevice, parent) {}

SpeechEngine::SpeechEngine(AudioOutput output, QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>()) {
    d->q = this;
    d->output = output;
    FliteVoice voice(d->voiceName);
    d->sampleRate = voice.sampleRate();
    d->defaults.pitchHz = voice.naturalPitchHz();
    d->defaults.wordsPerMinute = voice.naturalWordsPerMinute();
    if (output == AudioOutput::DefaultDevice) {
        d->out = std::make_unique<cw::audio::PulseOutput>(d->sampleRate);
    }
    d->synthesis = std::make_unique<SynthesisThread>(d->voiceName);
    d->tick.setTimerType(Qt::PreciseTimer);
    d->tick.setInterval(kTickMs);
    connect(&d->tick, &QTimer::timeout, this, [this] { d->onTick(); });
}

SpeechEngine::~SpeechEngine() {
    d->tick.stop();
    if (d->current) {
        d->current->stream->abort();
    }
    d->synthesis.reset();
    d->out.reset();
}

QStringList SpeechEngine::voices() {
    return FliteVoice::names();
}

void SpeechEngine::setDefaults(const QString& voice, int pitchHz, int wordsPerMinute) {
    const VoiceLimits limits;
    d->voiceName = FliteVoice::names().contains(voice) ? voice : FliteVoice::names().front();
    d->sampleRate =
        FliteVoice(d->voiceName).sampleRate(); // for the next request; the current one keeps its own
    d->defaults.pitchHz = std::clamp(pitchHz, limits.minPitchHz, limits.maxPitchHz);
    d->defaults.wordsPerMinute =
        std::clamp(wordsPerMinute, limits.minWordsPerMinute, limits.maxWordsPerMinute);
}

void SpeechEngine::setLanguageID(int languageId) {
    // Only US English voices are built in: every language speaks with them, so text is never lost.
    if (languageId != kUsEnglish) {
        qCInfo(lcTts) << "language" << languageId << "has no voice of its own; speaking US English";
    }
    d->languageId = languageId;
}

quint64 SpeechEngine::speak(const QString& taggedRequest) {
    trace("synthesis asked");
    if (d->current) {
        stop();
    }
    ParsedRequest parsed = parseSpeechTags(taggedRequest, d->defaults);
    if (parsed.repeatPrevious) {
        parsed = parseSpeechTags(d->lastRequest, d->defaults);
    } else {
        d->lastRequest = taggedRequest;
    }
    auto current = std::make_unique<Impl::Current>();
    current->id = ++d->nextId;
    current->balloonText = parsed.balloonText;
    current->stream = std::make_shared<PcmStream>(qint64(kSecondsAhead) * d->sampleRate);
    current->statistics.sampleRate = d->sampleRate;
    current->sinceRequest.start();
    d->current = std::move(current);
    // The output is started before synthesis, so the first samples go to the server straight from the
    // synthesis thread, whatever the user-interface thread is doing.
    d->startOutput();
    const QPointer<SpeechEngine> self(this);
    cw::audio::PulseOutput* out = d->out.get(); // outlives the synthesis thread
    d->synthesis->post(Job{d->current->stream, std::move(parsed), d->voiceName, [self, out] {
                               if (out) {
                                   out->wake();
                               }
                               // Look at the new audio on the engine's thread.
                               QMetaObject::invokeMethod(
                                   self,
                                   [self] {
                                       if (self) {
                                           self->d->onTick();
                                       }
                                   },
                                   Qt::QueuedConnection);
                           }});
    d->tick.start();
    const quint64 id = d->current->id;
    QMetaObject::invokeMethod(
        this, [this] { d->onTick(); }, Qt::QueuedConnection);
    return id;
}

void SpeechEngine::stop() {
    if (!d->current) {
        return;
    }
    const std::unique_ptr<Impl::Current> old = std::move(d->current);
    old->stream->abort();
    d->tick.stop();
    if (d->out) {
        d->out->stop();
    }
    trace("stopped");
    d->lastStatistics = old->statistics;
    // Reported from the event loop, so a caller that starts the next request on finished() is not re-entered.
    QMetaObject::invokeMethod(
        this,
        [this, id = old->id, balloon = old->balloonText, startedSent = old->startedSent] {
            if (!startedSent) {
                emit started(id, balloon);
            }
            emit finished(id);
        },
        Qt::QueuedConnection);
}

bool SpeechEngine::isSpeaking() const {
    return d->current != nullptr;
}

bool SpeechEngine::outputReady() const {
    return d->out && d->out->ready(d->sampleRate);
}

SpeechStatistics SpeechEngine::statistics() const {
    if (!d->current) {
        return d->lastStatistics;
    }
    SpeechStatistics s = d->current->statistics;
    s.charactersBeforeFirstAudio = d->current->stream->charactersBeforeFirstAudio();
    s.peakBufferedSamples = d->current->stream->peakBuffered();
    return s;
}

void SpeechEngine::Impl::useClockFrom(qint64 sample) {
    current->onClock = true;
    current->clockWaits = false;
    current->clockBase = sample;
    current->clock.start();
}

void SpeechEngine::Impl::startOutput() {
    Current& c = *current;
    const std::shared_ptr<PcmStream> stream = c.stream;
    if (out && out->start([stream](qint16* samples, qint64 max) { return stream->read(samples, max); },
                          c.statistics.sampleRate)) {
        c.onClock = false;
        c.stall.start();
        return;
    }
    if (out) {
        qCInfo(lcTts) << "no audio output - speaking silently";
    }
    c.onClock = true;
    c.clockWaits = true;
}

qint64 SpeechEngine::Impl::audiblePosition() {
    Current& c = *current;
    if (!c.onClock && out->lost()) {
        qCWarning(lcTts) << "audio output lost - going on silently";
        useClockFrom(c.heard);
    }
    if (c.onClock) {
        if (c.clockWaits) {
            return c.heard;
        }
        return std::max(c.heard, c.clockBase + c.clock.elapsed() * c.statistics.sampleRate / 1000);
    }
    const qint64 consumed = c.stream->consumed();
    const qint64 played = std::min(out->played(), consumed);
    if (played > c.heard) {
        if (!c.statistics.audible) {
            c.statistics.audible = true;
            trace("first sample played", played);
        }
        c.stall.restart();
        return played;
    }
    if (c.stream->finished() && consumed == c.stream->written()) {
        // Everything is with the server, and its clock stops short of the end by the device's latency:
        // play the rest out on the clock.
        out->drain();
        if (c.heard > 0 || c.stall.elapsed() > kTickMs * 5) {
            useClockFrom(c.heard);
        }
    } else if (c.stream->written() > c.heard && c.stall.elapsed() > (c.heard == 0 ? kNoStartMs : kStallMs)) {
        qCWarning(lcTts) << "audio output stalled - going on silently";
        out->stop();
        useClockFrom(c.heard);
    }
    return c.heard;
}

void SpeechEngine::Impl::onTick() {
    if (!current) {
        return;
    }
    Current& c = *current;
    const quint64 id = c.id;
    if (!c.startedSent) {
        c.startedSent = true;
        emit q->started(id, c.balloonText);
        if (!current || current->id != id) {
            return;
        }
    }
    const bool done = c.stream->finished();
    if (c.statistics.nsToFirstSamples < 0 && c.stream->written() > 0) {
        c.statistics.nsToFirstSamples = c.sinceRequest.nsecsElapsed();
        c.stall.restart(); // the output's time to begin counts from here
    }
    if (c.onClock && c.clockWaits) {
        if (c.stream->written() == 0 && !done) {
            return;
        }
        useClockFrom(0);
    }
    c.heard = audiblePosition();
    if (c.onClock) {
        c.stream->consumeUpTo(c.heard);
    }
    for (const TimelineEvent& e : c.stream->takeEventsUpTo(c.heard)) {
        switch (e.kind) {
        case TimelineEvent::Kind::Word:
            emit q->word(id, e.start, e.length);
            break;
        case TimelineEvent::Kind::Mouth:
            emit q->mouth(id, e.mouth);
            break;
        case TimelineEvent::Kind::Bookmark:
            emit q->bookmark(id, e.mark);
            break;
        case TimelineEvent::Kind::End:
            break;
        }
        if (!current || current->id != id) {
            return; // a receiver stopped the request
        }
    }
    if (done && c.heard >= c.stream->written()) {
        c.statistics.charactersBeforeFirstAudio = c.stream->charactersBeforeFirstAudio();
        c.statistics.peakBufferedSamples = c.stream->peakBuffered();
        lastStatistics = c.statistics;
        if (out) {
            out->pause();
        }
        current.reset();
        tick.stop();
        emit q->finished(id);
    }
}

} // namespace cw::tts
