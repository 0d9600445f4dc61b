#include "platform/tts/SpeechEngine.h"

#include "platform/tts/FliteVoice.h"
#include "platform/tts/PcmStream.h"
#include "platform/tts/RequestSynthesizer.h"
#include "platform/tts/SpeechTags.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMediaDevices>
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
/// How long the output stays open after a request: long enough for the tail in the device to play out and
/// for a queued next request to follow without opening a new stream.
constexpr int kIdleCloseMs = 2000;
/// The output's buffer.
constexpr int kBufferMs = 150;
/// How often the timeline is checked against the audio clock.
constexpr int kTickMs = 10;
/// A device whose clock stands still this long while it holds audio is treated as gone. Generous: an idle
/// PulseAudio null sink starts a new stream only after the block it is rendering (up to 2 s).
constexpr qint64 kStallMs = 4000;

struct Job {
    std::shared_ptr<PcmStream> stream;
    ParsedRequest request;
    QString voice;
    std::function<void()> notify;
};

/// The one thread that runs the synthesiser; requests are done one after another.
class SynthesisThread {
public:
    SynthesisThread() : thread_([this] { run(); }) {}
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
            while (!synth.atEnd() && job.stream->waitForRoom()) {
                SynthChunk chunk = synth.next();
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
    std::thread thread_; ///< last: starts once everything above exists
};

} // namespace

struct SpeechEngine::Impl {
    SpeechEngine* q = nullptr;
    AudioOutput output = AudioOutput::DefaultDevice;
    QString voiceName = FliteVoice::names().front();
    int sampleRate = FliteVoice(voiceName).sampleRate();
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
        bool outputStarted = false;
        bool onClock = true;
        qint64 clockBase = 0; ///< sample position when the clock (re)started
        QElapsedTimer clock;
        QElapsedTimer sinceRequest;
        qint64 heard = 0;      ///< the audible position, never going back
        qint64 deviceBase = 0; ///< samples the device had been given before this request
        QElapsedTimer stall;
        SpeechStatistics statistics;
    };
    std::unique_ptr<Current> current;

    /// The output stays open between requests, so the next one starts without opening a new stream;
    /// it is closed by Stop, by a failure and after a while without speech.
    std::unique_ptr<QAudioSink> sink;
    std::unique_ptr<PcmSource> source;
    bool deviceFailed = false; ///< the sink stopped with an error
    int teardown = 0;          ///< inside closeSink()
    QTimer idleClose;
    QTimer tick;
    std::unique_ptr<SynthesisThread> synthesis = std::make_unique<SynthesisThread>();

    void startOutput();
    /// From `sample` on, the timeline runs on a clock; the device (if kept) plays out what it holds.
    void useClockFrom(qint64 sample, bool closeDevice = true);
    qint64 audiblePosition();
    void onTick();
    void closeSink();
};

SpeechEngine::SpeechEngine(QObject* parent) : SpeechEngine(AudioOutput::DefaultDevice, parent) {}

SpeechEngine::SpeechEngine(AudioOutput output, QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>()) {
    d->q = this;
    d->output = output;
    FliteVoice voice(d->voiceName);
    d->defaults.pitchHz = voice.naturalPitchHz();
    d->defaults.wordsPerMinute = voice.naturalWordsPerMinute();
    d->tick.setTimerType(Qt::PreciseTimer);
    d->tick.setInterval(kTickMs);
    connect(&d->tick, &QTimer::timeout, this, [this] { d->onTick(); });
    d->idleClose.setSingleShot(true);
    d->idleClose.setInterval(kIdleCloseMs);
    connect(&d->idleClose, &QTimer::timeout, this, [this] { d->closeSink(); });
}

SpeechEngine::~SpeechEngine() {
    d->tick.stop();
    d->idleClose.stop();
    if (d->current) {
        d->current->stream->abort();
    }
    d->closeSink();
    d->synthesis.reset();
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
    const QPointer<SpeechEngine> self(this);
    d->synthesis->post(Job{current->stream, std::move(parsed), d->voiceName, [self] {
                               // From the synthesis thread: look at the new audio on the engine's thread.
                               QMetaObject::invokeMethod(
                                   self,
                                   [self] {
                                       if (self) {
                                           self->d->onTick();
                                       }
                                   },
                                   Qt::QueuedConnection);
                           }});
    d->current = std::move(current);
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
    // Taken out first: closing the output runs the event loop, and a receiver may start the next request.
    const std::unique_ptr<Impl::Current> old = std::move(d->current);
    old->stream->abort();
    d->tick.stop();
    d->closeSink();
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

SpeechStatistics SpeechEngine::statistics() const {
    if (!d->current) {
        return d->lastStatistics;
    }
    SpeechStatistics s = d->current->statistics;
    s.charactersBeforeFirstAudio = d->current->stream->charactersBeforeFirstAudio();
    s.peakBufferedSamples = d->current->stream->peakBuffered();
    return s;
}

void SpeechEngine::Impl::closeSink() {
    idleClose.stop();
    std::unique_ptr<QAudioSink> closing = std::move(sink);
    std::unique_ptr<PcmSource> closingSource = std::move(source);
    deviceFailed = false;
    if (!closing) {
        return;
    }
    // Qt 6.4's sink runs the event loop while it shuts down; the timeline must not move meanwhile.
    ++teardown;
    closing->disconnect(q);
    closing->stop();
    closing.reset();
    closingSource.reset();
    --teardown;
}

void SpeechEngine::Impl::useClockFrom(qint64 sample, bool closeDevice) {
    if (closeDevice) {
        closeSink();
    }
    current->onClock = true;
    current->clockBase = sample;
    current->clock.start();
}

void SpeechEngine::Impl::startOutput() {
    Current& c = *current;
    c.outputStarted = true;
    if (output == AudioOutput::None || c.stream->written() == 0 || QMediaDevices::audioOutputs().isEmpty()) {
        useClockFrom(0, false);
        return;
    }
    idleClose.stop();
    if (sink && (deviceFailed || sink->state() == QAudio::StoppedState ||
                 sink->format().sampleRate() != c.statistics.sampleRate)) {
        closeSink(); // lost while idle, or opened for another voice: open the output afresh
    }
    if (!sink) {
        QAudioFormat format;
        format.setSampleRate(c.statistics.sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
        // Qt 6.4's pull mode stalls silently with buffers under about 40 ms; 150 ms is also what PulseAudio
        // picks by default, and the latency to the first audible sample does not depend on it.
        sink->setBufferSize(qsizetype(c.statistics.sampleRate) * 2 * kBufferMs / 1000);
        source = std::make_unique<PcmSource>();
        source->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        QObject::connect(sink.get(), &QAudioSink::stateChanged, q, [this](QAudio::State state) {
            // Noted here, handled on the next tick: the sink may be in the middle of its own call.
            if (sink && state == QAudio::StoppedState && sink->error() != QAudio::NoError) {
                deviceFailed = true;
                QMetaObject::invokeMethod(
                    q, [this] { onTick(); }, Qt::QueuedConnection);
            }
        });
        source->setStream(c.stream);
        c.deviceBase = 0;
        sink->start(source.get());
        if (sink->state() == QAudio::StoppedState && sink->error() != QAudio::NoError) {
            qCWarning(lcTts) << "cannot open the audio output:" << sink->error() << "- speaking silently";
            useClockFrom(0);
            return;
        }
    } else {
        c.deviceBase = source->samplesRead();
        source->setStream(c.stream);
        emit source->readyRead(); // the sink waits, idle, since the last request ran dry
    }
    c.onClock = false;
    c.statistics.audible = true;
    c.stall.start();
}

qint64 SpeechEngine::Impl::audiblePosition() {
    Current& c = *current;
    if (!c.onClock && (deviceFailed || !sink)) {
        qCWarning(lcTts) << "audio output lost - going on silently";
        useClockFrom(c.heard);
    }
    if (c.onClock) {
        return std::max(c.heard, c.clockBase + c.clock.elapsed() * c.statistics.sampleRate / 1000);
    }
    const qint64 processed = sink->processedUSecs() * c.statistics.sampleRate / 1000000 - c.deviceBase;
    const qint64 consumed = c.stream->consumed();
    const qint64 played = std::min(processed, consumed);
    qCDebug(lcTts) << "device at" << processed << "samples, has" << consumed << "samples," << sink->state()
                   << sink->error();
    if (played > c.heard) {
        c.stall.restart();
        return played;
    }
    if (c.heard > 0 && c.stream->finished() && consumed == c.stream->written()) {
        // The device holds the rest and Qt stops counting short of its end (it subtracts the latency):
        // play it out on the clock.
        useClockFrom(c.heard, false);
    } else if (consumed > c.heard && c.stall.elapsed() > kStallMs) {
        qCWarning(lcTts) << "audio output stalled - going on silently";
        useClockFrom(c.heard);
    }
    return c.heard;
}

void SpeechEngine::Impl::onTick() {
    if (!current || teardown > 0) {
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
    }
    if (!c.outputStarted) {
        if (c.stream->written() == 0 && !done) {
            return;
        }
        startOutput();
    } else if (!c.onClock && sink && sink->state() == QAudio::IdleState &&
               c.stream->written() > c.stream->consumed()) {
        // Wakes a sink that ran dry while synthesis caught up. Only then: Qt 6.4 restarts its pull timer on
        // every readyRead, so signalling all the time would starve it.
        emit source->readyRead();
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
        if (source) {
            source->setStream(nullptr);
            idleClose.start();
        }
        current.reset();
        tick.stop();
        emit q->finished(id);
    }
}

} // namespace cw::tts
