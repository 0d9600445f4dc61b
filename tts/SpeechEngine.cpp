#include "SpeechEngine.h"

#include "Languages.h"
#include "PcmStream.h"
#include "RequestSynthesizer.h"
#include "SilentOutput.h"
#include "SpeechTags.h"
#include "Voice.h"

#include "core/Trace.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPointer>
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
/// How often the timeline is checked against the output's position.
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
        std::map<QString, std::unique_ptr<Voice>> voices;
        // Languages are found as each paragraph is reached; what that needs is loaded when first asked.
        const FindLanguage findLanguage = paragraphLanguageFinder();
        const QString startLanguage = startingLanguage();
        if (!warmVoice_.isEmpty()) {
            // A word begun and thrown away loads the voice, the lexicon and the synthesiser's code.
            auto& voice = voices[warmVoice_];
            voice = makeSpeakingVoice(warmVoice_);
            if (const auto sentence = voice->begin(QStringLiteral("Hi."), VoiceSettings{});
                sentence && !sentence->read(voice->sampleRate() / 100).empty()) {
                trace("voice ready");
            }
            // The Latin script's language fingerprints (some 14 ms to read) are read now, not at the first
            // Say it.
            findLanguage(u"The language of a paragraph in the Latin alphabet is found from its letters.");
            trace("language finder ready");
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
                voice = makeSpeakingVoice(job.voice);
            }
            RequestSynthesizer synth(*voice, std::move(job.request), findLanguage, startLanguage);
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
    Impl(Clock& clock, AudioOutput& output) : clock(clock), output(output), fallback(clock) {}

    SpeechEngine* q = nullptr;
    QString voiceName = voiceNames().front();
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
        AudioOutput* playing = nullptr; ///< `output`, or `fallback` once that took over; set by startOutput()
        qint64 playingFrom = 0;         ///< the stream's sample where `playing` began counting
        qint64 heard = 0;               ///< the audible position, never going back
        qint64 firstSamplesAt = -1;     ///< clock time the first samples were seen
        qint64 progressAt = 0;          ///< clock time the position last moved (or the output was started)
        QElapsedTimer sinceRequest;     ///< measures only (statistics), decides nothing
        SpeechStatistics statistics;
    };
    std::unique_ptr<Current> current;

    Clock& clock;
    /// Kept between requests, so a request starts without setting anything up.
    AudioOutput& output;
    /// Where a request goes on when `output` cannot start it, is lost, or stalls: the same pace, silently.
    SilentOutput fallback;
    /// Last: its thread, which wakes `output`, ends before anything else goes.
    std::unique_ptr<SynthesisThread> synthesis;

    static SampleSource sourceOf(const std::shared_ptr<PcmStream>& stream) {
        return [stream](qint16* samples, qint64 max) { return stream->read(samples, max); };
    }
    void startOutput();
    /// From the audible position on, the request goes on on the fallback's clock.
    void goOnSilently(const PcmStream::State& stream);
    qint64 audiblePosition(const PcmStream::State& stream, qint64 played);
    /// Both outputs let go of the request's source.
    void releaseOutputs(bool silenceAtOnce);
    void onTick();
};

SpeechEngine::SpeechEngine(Clock& clock, AudioOutput& output, QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>(clock, output)) {
    d->q = this;
    const std::unique_ptr<Voice> voice = makeVoice(d->voiceName);
    d->sampleRate = voice->sampleRate();
    d->defaults.pitchHz = voice->naturalPitchHz();
    d->defaults.wordsPerMinute = voice->naturalWordsPerMinute();
    d->synthesis = std::make_unique<SynthesisThread>(d->voiceName);
    connect(&clock, &Clock::due, this, [this] { d->onTick(); });
}

SpeechEngine::~SpeechEngine() {
    d->clock.cancel();
    if (d->current) {
        d->current->stream->abort();
        d->releaseOutputs(true);
    }
    d->synthesis.reset();
}

QStringList SpeechEngine::voices() {
    return voiceNames();
}

int SpeechEngine::defaultSampleRate() {
    return makeVoice()->sampleRate();
}

void SpeechEngine::setDefaults(const QString& voice, int pitchHz, int wordsPerMinute) {
    const VoiceLimits limits;
    const QStringList names = voiceNames();
    d->voiceName = names.contains(voice) ? voice : names.front();
    d->sampleRate =
        makeVoice(d->voiceName)->sampleRate(); // for the next request; the current one keeps its own
    d->defaults.pitchHz = std::clamp(pitchHz, limits.minPitchHz, limits.maxPitchHz);
    d->defaults.wordsPerMinute =
        std::clamp(wordsPerMinute, limits.minWordsPerMinute, limits.maxWordsPerMinute);
}

void SpeechEngine::setLanguageID(int languageId) {
    // The genie's own voice is US English; every other language is found paragraph by paragraph.
    if (languageId != kUsEnglish) {
        qCInfo(lcTts)
            << "language" << languageId
            << "is not the genie's own: his voice stays US English, other languages are found in the text";
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
    AudioOutput* out = &d->output; // outlives the synthesis thread
    d->synthesis->post(Job{d->current->stream, std::move(parsed), d->voiceName, [self, out] {
                               // Called with no lock of the stream held (see PcmStream's lock order).
                               out->wake();
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
    d->clock.wakeAt(d->clock.now() + kTickMs);
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
    d->clock.cancel();
    d->releaseOutputs(true);
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
    return d->output.audible() && d->output.ready(d->sampleRate);
}

SpeechStatistics SpeechEngine::statistics() const {
    if (!d->current) {
        return d->lastStatistics;
    }
    SpeechStatistics s = d->current->statistics;
    const PcmStream::State stream = d->current->stream->snapshot();
    s.charactersBeforeFirstAudio = stream.charactersBeforeFirstAudio;
    s.peakBufferedSamples = stream.peak;
    return s;
}

void SpeechEngine::Impl::startOutput() {
    Current& c = *current;
    c.progressAt = clock.now();
    c.playingFrom = 0;
    if (output.start(sourceOf(c.stream), c.statistics.sampleRate)) {
        c.playing = &output;
        return;
    }
    qCInfo(lcTts) << "no audio output - speaking silently";
    fallback.start(sourceOf(c.stream), c.statistics.sampleRate);
    c.playing = &fallback;
}

void SpeechEngine::Impl::goOnSilently(const PcmStream::State& stream) {
    Current& c = *current;
    // What the output took but never played is paced first, so no word is skipped.
    fallback.takeOver(sourceOf(c.stream), c.statistics.sampleRate, stream.consumed - c.heard);
    c.playing = &fallback;
    c.playingFrom = c.heard;
}

void SpeechEngine::Impl::releaseOutputs(bool silenceAtOnce) {
    if (silenceAtOnce) {
        output.stop();
        fallback.stop();
    } else {
        output.pause();
        fallback.pause();
    }
}

qint64 SpeechEngine::Impl::audiblePosition(const PcmStream::State& stream, qint64 played) {
    Current& c = *current;
    if (played > c.heard) {
        if (c.playing->audible() && !c.statistics.audible) {
            c.statistics.audible = true;
            trace("first sample played", played);
        }
        c.progressAt = clock.now();
        return played;
    }
    if (!c.playing->audible()) {
        return c.heard; // a clock has nothing to watch for
    }
    const qint64 standing = clock.now() - c.progressAt;
    if (stream.finished && stream.consumed == stream.written) {
        // Everything is with the device, and its clock stops short of the end by its latency: play the rest
        // out on the clock.
        c.playing->drain();
        if (c.heard > 0 || standing > kTickMs * 5) {
            goOnSilently(stream);
        }
    } else if (stream.written > c.heard && standing > (c.heard == 0 ? kNoStartMs : kStallMs)) {
        qCWarning(lcTts) << "audio output stalled - going on silently";
        c.playing->stop();
        goOnSilently(stream);
    }
    return c.heard;
}

void SpeechEngine::Impl::onTick() {
    if (!current) {
        return;
    }
    clock.wakeAt(clock.now() + kTickMs);
    Current& c = *current;
    const quint64 id = c.id;
    if (!c.startedSent) {
        c.startedSent = true;
        emit q->started(id, c.balloonText);
        if (!current || current->id != id) {
            return;
        }
    }
    if (c.playing != &fallback && c.playing->lost()) {
        qCWarning(lcTts) << "audio output lost - going on silently";
        c.playing->pause(); // lets go of the source, so nothing but the fallback reads it from now on
        goOnSilently(c.stream->snapshot());
    }
    // The output's position first (a silent output takes samples to reach it), then the stream as it stands
    // after that: every decision below is on this one snapshot.
    const qint64 played = c.playingFrom + c.playing->played();
    const PcmStream::State stream = c.stream->snapshot();
    if (c.firstSamplesAt < 0 && stream.written > 0) {
        c.firstSamplesAt = clock.now();
        c.progressAt = c.firstSamplesAt; // the output's time to begin counts from here
        c.statistics.nsToFirstSamples = c.sinceRequest.nsecsElapsed();
    }
    c.heard = audiblePosition(stream, std::min(played, stream.consumed));
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
    if (stream.finished && c.heard >= stream.written) {
        c.statistics.charactersBeforeFirstAudio = stream.charactersBeforeFirstAudio;
        c.statistics.peakBufferedSamples = stream.peak;
        lastStatistics = c.statistics;
        releaseOutputs(false);
        current.reset();
        clock.cancel();
        emit q->finished(id);
    }
}

} // namespace cw::tts
