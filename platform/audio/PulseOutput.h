#pragma once

#include "platform/AudioOutput.h"

#include <memory>

namespace cw::audio {

/// Audio output on the PulseAudio server (or PipeWire's PulseAudio service) that follows the server: it
/// connects in the background, and whenever the server goes away it keeps trying, so sound comes back with
/// the server. One stream is kept ready (paused) between requests, so a request starts without a round of
/// set-up, and the stream follows the default output device when that changes.
///
/// Threads. The output runs libpulse's threaded main loop on a thread of its own (the server's thread). The
/// owner calls everything from one thread (the user-interface thread); wake() may also come from the thread
/// that writes the source (the synthesis thread). Every call takes the main loop's lock, and every callback
/// of the server runs with it held, so the output's state is only ever touched under that lock.
///
/// The source is called by fill(), always with the main loop's lock held, from three threads: the server's
/// thread (the stream asks for more, or becomes ready while a source waits), the owner's thread (start()
/// unpauses a ready stream and hands over what is waiting), and the writer's thread (wake()). The lock keeps
/// those calls one at a time.
///
/// Lock order: the main loop's lock first, then whatever the source locks (the PcmStream's mutex). Never call
/// into the output while holding a lock the source takes: the writer calls wake() only after it has let go of
/// the stream's mutex.
class PulseOutput final : public AudioOutput {
public:
    /// Starts the main loop and begins connecting at once; a stream for `sampleRate` is prepared as soon as
    /// the server answers. Null when the main loop cannot be made (no sound can be played at all then).
    static std::unique_ptr<PulseOutput> create(int sampleRate);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    /// Owner's thread. Whether a server is connected and a stream for `sampleRate` could be started now.
    bool ready(int sampleRate) const override;
    /// Owner's thread. Always: what it plays is heard on the server's device.
    bool audible() const override { return true; }
    /// Owner's thread. Plays what `source` gives from now on (once the server answers, if it is still being
    /// reached). False when no server is connected or being reached (nothing is played then).
    bool start(SampleSource source, int sampleRate) override;
    /// Any thread but the server's. Hands the source's new samples to the server now.
    void wake() override;
    /// Owner's thread. Plays out what the server holds even if it is short of the start threshold.
    void drain() override;
    /// Owner's thread. Samples of the started source that have been heard (the server's clock, device
    /// latency included).
    qint64 played() override;
    /// Owner's thread. Whether the stream of the started source has been lost (the server went away or
    /// refused it).
    bool lost() const override;
    /// Owner's thread. Silences at once: the server drops what it holds, and a fresh stream is prepared.
    void stop() override;
    /// Owner's thread. The request ended after playing out: the stream pauses, ready for the next start().
    void pause() override;

private:
    struct Impl;
    explicit PulseOutput(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace cw::audio
