#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

namespace cw::audio {

/// Fills `out` with up to `max` 16-bit mono samples and returns how many it gave (0: none waiting now).
/// Called on the sound server's thread.
using SampleSource = std::function<qint64(qint16* out, qint64 max)>;

/// Audio output on the PulseAudio server (or PipeWire's PulseAudio service) that follows the server: it
/// connects in the background, and whenever the server goes away it keeps trying, so sound comes back with
/// the server. One stream is kept ready (paused) between requests, so a request starts without a round of
/// set-up, and the stream follows the default output device when that changes. Calls come from one thread
/// (the owner's), or `wake()` from any thread; the source is read on the output's own thread.
class PulseOutput {
public:
    /// Starts connecting at once and prepares a stream for `sampleRate` as soon as the server answers.
    explicit PulseOutput(int sampleRate);
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    /// Whether a server is connected and a stream for `sampleRate` could be started now.
    bool ready(int sampleRate) const;
    /// Plays what `source` gives from now on. False when no server is connected (nothing is played then).
    bool start(SampleSource source, int sampleRate);
    /// The source has more samples than when it was last asked: hands them over now. Safe from any thread.
    void wake();
    /// The source has given its last sample: plays out what the server holds even if it is short.
    void drain();
    /// Samples of the started source that have been heard (the server's clock, device latency included).
    qint64 played() const;
    /// Whether the stream of the started source has been lost (the server went away or refused it).
    bool lost() const;
    /// Silences at once: the server drops what it holds, and a fresh stream is prepared for the next start().
    void stop();
    /// The request ended after playing out: the stream pauses, ready for the next start().
    void pause();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

/// How many output devices the PulseAudio server offers; 0 when there is no server or it does not answer
/// within `timeoutMs`.
int countOutputDevices(int timeoutMs);

} // namespace cw::audio
