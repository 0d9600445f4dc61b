#include "PulseOutput.h"

#include "core/Trace.h"

#include <QLoggingCategory>
#include <algorithm>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <vector>

namespace cw::audio {

Q_LOGGING_CATEGORY(lcAudio, "chatterwisp.audio")

namespace {

/// How long the server may hold audio ahead of the listener. Short, so the first sample of a request is heard
/// soon and Stop leaves little to play out; long enough for the output thread's wake-ups to be rare (about
/// every 10 ms while speaking).
constexpr pa_usec_t kTargetLatencyUsec = 20'000;
/// How much audio a stream waits for before it starts; the rest of a short request is pushed out by drain().
constexpr pa_usec_t kStartThresholdUsec = 5'000;
/// How often a lost server is looked for again: cheap (a failed connect on a local socket) and soon enough.
constexpr pa_usec_t kRetryUsec = 500'000;

/// Holds the threaded main loop's lock for a scope (the loop's callbacks run with it held).
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

/// Frees the threaded main loop, stopping its thread first if it runs.
struct LoopDeleter {
    void operator()(pa_threaded_mainloop* loop) const { pa_threaded_mainloop_free(loop); }
};
using LoopPtr = std::unique_ptr<pa_threaded_mainloop, LoopDeleter>;

void unrefOperation(pa_operation* op) {
    if (op) {
        pa_operation_unref(op);
    }
}

} // namespace

struct PulseOutput::Impl {
    Impl(LoopPtr mainLoop, int sampleRate)
        : loopOwner(std::move(mainLoop)), loop(loopOwner.get()), rate(sampleRate) {}

    const LoopPtr
        loopOwner; ///< frees the loop when the Impl goes (~PulseOutput has stopped its thread by then)
    pa_threaded_mainloop* const loop;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_time_event* retry = nullptr;
    int rate;                  ///< the rate of the stream that is, or will be, prepared
    qint64 writtenSamples = 0; ///< given to the current stream in all
    qint64 startSample = 0;    ///< writtenSamples when the current source was started
    SampleSource source;       ///< empty while no request plays
    bool playing = false;      ///< a source is started (the stream may still be getting ready)
    bool lostSource = false;   ///< the stream went away while a source played
    bool firstHandedOver = false;
    std::vector<qint16> buffer; ///< reused for every write
    bool serverWasLost = false; ///< for one log line per loss and per return

    // Everything below runs with the loop's lock held, on whichever thread holds it.
    /// Forgets the started source: nothing plays until the next start().
    void releaseSource() {
        playing = false;
        source = {};
    }
    void connect();
    /// Forgets the server connection; the next connect() starts afresh.
    void dropContext();
    void scheduleRetry();
    void createStream();
    void dropStream();
    /// Hands the stream up to `bytes` of the source's samples. Reached from the server's thread (onWrite,
    /// onStreamState), the owner's (start) and the writer's (wake), always with the loop's lock held.
    void fill(std::size_t bytes);
    void uncork();

    static void onContextState(pa_context* c, void* self);
    static void onStreamState(pa_stream* s, void* self);
    static void onWrite(pa_stream* s, std::size_t bytes, void* self);
    static void onRetry(pa_mainloop_api* api, pa_time_event* e, const struct timeval*, void* self);
};

void PulseOutput::Impl::connect() {
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Chatterwisp");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "chatterwisp");
    context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), "Chatterwisp", props);
    pa_proplist_free(props);
    if (!context) {
        return; // out of memory: no sound, the timeline runs on its clock
    }
    pa_context_set_state_callback(context, &Impl::onContextState, this);
    // Never start a server of our own: the desktop's server, or none.
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        scheduleRetry();
    }
}

void PulseOutput::Impl::dropContext() {
    if (!context) {
        return;
    }
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
    context = nullptr;
}

void PulseOutput::Impl::scheduleRetry() {
    if (retry || !context) {
        return;
    }
    retry = pa_context_rttime_new(context, pa_rtclock_now() + kRetryUsec, &Impl::onRetry, this);
}

void PulseOutput::Impl::onRetry(pa_mainloop_api* api, pa_time_event* e, const struct timeval*, void* self) {
    auto* d = static_cast<Impl*>(self);
    api->time_free(e);
    d->retry = nullptr;
    d->dropStream();
    d->dropContext();
    d->connect();
}

void PulseOutput::Impl::onContextState(pa_context* c, void* self) {
    auto* d = static_cast<Impl*>(self);
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY:
        if (d->serverWasLost) {
            qCInfo(lcAudio) << "sound server is back";
            d->serverWasLost = false;
        }
        d->createStream();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        if (!d->serverWasLost) {
            qCInfo(lcAudio) << "no sound server:" << pa_strerror(pa_context_errno(c))
                            << "- speaking silently until one is there";
            d->serverWasLost = true;
        }
        if (d->playing) {
            d->lostSource = true;
        }
        d->scheduleRetry();
        break;
    default:
        break;
    }
}

void PulseOutput::Impl::createStream() {
    dropStream();
    if (!context || pa_context_get_state(context) != PA_CONTEXT_READY) {
        return;
    }
    const pa_sample_spec format{PA_SAMPLE_S16LE, uint32_t(rate), 1};
    stream = pa_stream_new(context, "Speech", &format, nullptr);
    if (!stream) {
        return;
    }
    writtenSamples = 0;
    startSample = 0;
    pa_stream_set_state_callback(stream, &Impl::onStreamState, this);
    pa_stream_set_write_callback(stream, &Impl::onWrite, this);
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(pa_usec_to_bytes(kTargetLatencyUsec, &format));
    attr.prebuf = uint32_t(pa_usec_to_bytes(kStartThresholdUsec, &format));
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    // Paused until a request starts; the device follows the server's default, also when that changes.
    const auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) < 0) {
        qCWarning(lcAudio) << "cannot open an output stream:" << pa_strerror(pa_context_errno(context));
        dropStream();
    }
}

void PulseOutput::Impl::dropStream() {
    if (!stream) {
        return;
    }
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
    if (playing) {
        lostSource = true;
    }
}

void PulseOutput::Impl::onStreamState(pa_stream* s, void* self) {
    auto* d = static_cast<Impl*>(self);
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY:
        if (d->playing) {
            d->uncork(); // started while the stream was still being set up
        }
        break;
    case PA_STREAM_FAILED:
        qCInfo(lcAudio) << "output stream lost:" << pa_strerror(pa_context_errno(pa_stream_get_context(s)));
        d->dropStream();
        // A server that is still there gets a fresh stream; a lost one is handled by the context.
        if (d->context && pa_context_get_state(d->context) == PA_CONTEXT_READY) {
            d->createStream();
        }
        break;
    default:
        break;
    }
}

void PulseOutput::Impl::uncork() {
    unrefOperation(pa_stream_cork(stream, 0, nullptr, nullptr));
    trace("audio output started");
    fill(pa_stream_writable_size(stream));
}

void PulseOutput::Impl::onWrite(pa_stream*, std::size_t bytes, void* self) {
    static_cast<Impl*>(self)->fill(bytes);
}

void PulseOutput::Impl::fill(std::size_t bytes) {
    if (!playing || !source || !stream || pa_stream_get_state(stream) != PA_STREAM_READY || bytes == 0 ||
        bytes == std::size_t(-1)) {
        return;
    }
    buffer.resize(bytes / sizeof(qint16));
    const qint64 n = source(buffer.data(), qint64(buffer.size()));
    if (n <= 0) {
        return; // wake() hands them over when there are some
    }
    if (!firstHandedOver) {
        firstHandedOver = true;
        trace("audio handed to output", n);
    }
    pa_stream_write(stream, buffer.data(), std::size_t(n) * sizeof(qint16), nullptr, 0, PA_SEEK_RELATIVE);
    writtenSamples += n;
}

std::unique_ptr<PulseOutput> PulseOutput::create(int sampleRate) {
    LoopPtr loop(pa_threaded_mainloop_new());
    if (!loop) {
        return nullptr;
    }
    pa_threaded_mainloop_set_name(loop.get(), "cw-audio");
    auto impl = std::make_unique<Impl>(std::move(loop), sampleRate);
    {
        // Held from before the loop's thread exists, so the thread's first turn waits for the connection to
        // be set up.
        LoopLock lock(impl->loop);
        if (pa_threaded_mainloop_start(impl->loop) < 0) {
            return nullptr;
        }
        impl->connect();
    }
    return std::unique_ptr<PulseOutput>(new PulseOutput(std::move(impl)));
}

PulseOutput::PulseOutput(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

PulseOutput::~PulseOutput() {
    {
        LoopLock lock(d->loop);
        d->releaseSource();
        d->dropStream();
        if (d->retry) {
            pa_threaded_mainloop_get_api(d->loop)->time_free(d->retry);
            d->retry = nullptr;
        }
        d->dropContext();
    }
    // Stopped before the state its callbacks could touch goes.
    pa_threaded_mainloop_stop(d->loop);
}

bool PulseOutput::ready(int sampleRate) const {
    LoopLock lock(d->loop);
    return d->context && pa_context_get_state(d->context) == PA_CONTEXT_READY && d->stream &&
           d->rate == sampleRate && pa_stream_get_state(d->stream) == PA_STREAM_READY;
}

bool PulseOutput::start(SampleSource source, int sampleRate) {
    LoopLock lock(d->loop);
    // A server still being reached counts: the stream starts once it answers (or the source is lost, if it
    // does not), so the first request of a process is heard too.
    if (!d->context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(d->context))) {
        return false;
    }
    if (d->rate != sampleRate || !d->stream) {
        d->rate = sampleRate;
        d->createStream(); // now, or once the server answers
        if (!d->stream && pa_context_get_state(d->context) == PA_CONTEXT_READY) {
            return false;
        }
    }
    d->source = std::move(source);
    d->playing = true;
    d->lostSource = false;
    d->firstHandedOver = false;
    d->startSample = d->writtenSamples;
    if (d->stream && pa_stream_get_state(d->stream) == PA_STREAM_READY) {
        d->uncork();
    }
    return true;
}

void PulseOutput::wake() {
    if (pa_threaded_mainloop_in_thread(d->loop)) {
        return;
    }
    LoopLock lock(d->loop);
    if (d->stream && pa_stream_get_state(d->stream) == PA_STREAM_READY) {
        d->fill(pa_stream_writable_size(d->stream));
    }
}

void PulseOutput::drain() {
    LoopLock lock(d->loop);
    if (d->playing && d->stream && pa_stream_get_state(d->stream) == PA_STREAM_READY) {
        unrefOperation(pa_stream_trigger(d->stream, nullptr, nullptr));
    }
}

qint64 PulseOutput::played() {
    LoopLock lock(d->loop);
    if (!d->stream || pa_stream_get_state(d->stream) != PA_STREAM_READY) {
        return 0;
    }
    pa_usec_t usec = 0;
    if (pa_stream_get_time(d->stream, &usec) < 0) {
        return 0; // no timing from the server yet
    }
    const qint64 position = qint64(usec * pa_usec_t(d->rate) / 1'000'000);
    return std::clamp(position - d->startSample, qint64(0), d->writtenSamples - d->startSample);
}

bool PulseOutput::lost() const {
    LoopLock lock(d->loop);
    return d->lostSource;
}

void PulseOutput::stop() {
    LoopLock lock(d->loop);
    d->releaseSource();
    // A stream that goes away is silent at once; a fresh one is prepared for the next request.
    d->dropStream();
    d->createStream();
}

void PulseOutput::pause() {
    LoopLock lock(d->loop);
    d->releaseSource();
    if (d->stream && pa_stream_get_state(d->stream) == PA_STREAM_READY) {
        unrefOperation(pa_stream_cork(d->stream, 1, nullptr, nullptr));
    }
}

} // namespace cw::audio
