#pragma once

#include <QtGlobal>
#include <functional>

namespace cw {

/// Fills `out` with up to `max` 16-bit mono samples and returns how many it gave (0: none waiting now).
/// An output calls it from whichever thread fills it (see the output's own contract), never from two at once.
using SampleSource = std::function<qint64(qint16* out, qint64 max)>;

/// Where the speech engine's samples go: a sound device, or a stand-in that only keeps time. One source plays
/// at a time. Every call comes from the owner's thread (the engine's) except wake(), which also comes from
/// the thread that writes the source's samples. The output must outlive every thread that may call wake().
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    /// Owner's thread. Whether a source started now at `sampleRate` would be played at once.
    virtual bool ready(int sampleRate) const = 0;
    /// Owner's thread. Whether what it plays reaches a listener (false for an output that only keeps time).
    virtual bool audible() const = 0;
    /// Owner's thread. Plays what `source` gives from now on, replacing any source before it; false when
    /// nothing can be played (the source is not called then).
    virtual bool start(SampleSource source, int sampleRate) = 0;
    /// Any thread. The source has more samples than when it was last asked: take them now.
    virtual void wake() = 0;
    /// Owner's thread. The source has given its last sample: play out what is held even if it is short.
    virtual void drain() = 0;
    /// Owner's thread. Samples of the started source that have been played (heard, for a device).
    virtual qint64 played() = 0;
    /// Owner's thread. Whether the started source can no longer be played (the device went away).
    virtual bool lost() const = 0;
    /// Owner's thread. Silences at once and forgets the source; the next start() begins afresh.
    virtual void stop() = 0;
    /// Owner's thread. The source played out: forgets it and waits, ready, for the next start().
    virtual void pause() = 0;
};

} // namespace cw
