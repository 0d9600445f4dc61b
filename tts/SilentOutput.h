#pragma once

#include "core/Clock.h"
#include "platform/AudioOutput.h"

#include <vector>

namespace cw::tts {

/// An output that plays nothing aloud but keeps time like a device: it takes the source's samples at the
/// sample rate as the clock advances, so played() moves with time and the words and mouth shapes follow at
/// the pace of speech. Time in which the source has nothing waiting is lost, as on a device that runs dry.
///
/// It lives with the engine rather than in the platform layer: it needs no desktop service, only the clock
/// and the output interface, and the engine itself falls back on one when a device is lost or stalls.
///
/// Threads: every call from the owner's thread; wake() from any thread (it touches nothing: the samples are
/// taken when played() is asked). The source is called from played() only, on the owner's thread.
class SilentOutput final : public AudioOutput {
public:
    /// `clock` must outlive the output.
    explicit SilentOutput(const Clock& clock) : clock_(clock) {}

    /// Owner's thread. Always: a source can start at once.
    bool ready(int) const override { return true; }
    /// Owner's thread. Never: nothing is heard.
    bool audible() const override { return false; }
    /// Owner's thread. Paces `source` from the clock's now on; always true.
    bool start(SampleSource source, int sampleRate) override;
    /// Owner's thread. Takes over a source from an output that still held `unheard` of its samples: those are
    /// paced first, as if they were played here, then the source's own.
    void takeOver(SampleSource source, int sampleRate, qint64 unheard);
    /// Any thread. Nothing to do: played() takes what is waiting.
    void wake() override {}
    /// Owner's thread. Nothing to do: nothing is held back.
    void drain() override {}
    /// Owner's thread. Takes the samples the clock has reached since the last call and returns how many have
    /// been played in all.
    qint64 played() override;
    /// Owner's thread. Never: a clock is not lost.
    bool lost() const override { return false; }
    /// Owner's thread. Forgets the source.
    void stop() override;
    /// Owner's thread. Forgets the source.
    void pause() override;

private:
    const Clock& clock_;
    SampleSource source_;
    int rate_ = 16000;
    qint64 startMs_ = 0;
    qint64 reached_ = 0; ///< samples the clock has reached since start
    qint64 unheard_ = 0; ///< taken over from another output, still to be paced
    qint64 played_ = 0;
    std::vector<qint16> scratch_;
};

} // namespace cw::tts
