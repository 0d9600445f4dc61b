#pragma once

#include "RequestSynthesizer.h"
#include "Timeline.h"

#include <QList>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace cw::tts {

/// The audio and events of one request on their way from the synthesis thread to the listener. The writer
/// waits while it is more than `maxAhead` samples ahead of the reader, so memory stays bounded.
///
/// Threads. The writer is the synthesis thread. The reader is the audio output, which calls read() through
/// its sample source from whichever thread fills it (for the sound server: its own thread, the engine's or
/// the writer's, always with the server's main-loop lock held), and the engine's thread for everything else.
/// One mutex guards the whole state; every function takes it for its own duration only, and nothing here
/// calls out while holding it. Lock order: an output's lock (the main-loop lock) first, then this mutex;
/// never call into an output while holding it.
class PcmStream {
public:
    /// Where the stream stands, all at one instant.
    struct State {
        qint64 written = 0;  ///< samples appended so far
        qint64 consumed = 0; ///< samples read (or forgotten) so far
        bool finished = false;
        bool aborted = false;
        qint64 charactersBeforeFirstAudio = -1; ///< text synthesised before the first sample (-1: none yet)
        qint64 peak = 0;                        ///< the most samples ever waiting at once
    };

    explicit PcmStream(qint64 maxAhead) : maxAhead_(maxAhead) {}

    /// Writer: waits for room; false once the stream is aborted.
    bool waitForRoom();
    /// Writer: adds a chunk; `charactersSoFar` counts the text synthesised up to and including it.
    void append(SynthChunk&& chunk, qint64 charactersSoFar);
    /// Writer: no more audio will come.
    void finish();

    /// Either side: stop everything; the writer stops at its next check.
    void abort();

    /// Reader (audio output): copies up to `maxSamples` samples; 0 when none are waiting.
    qint64 read(qint16* out, qint64 maxSamples);
    /// Reader (silent clock): forgets the samples before `sample`, as if they had been played.
    void consumeUpTo(qint64 sample);
    /// Reader: removes and returns the events up to `sample`.
    QList<TimelineEvent> takeEventsUpTo(qint64 sample);

    /// Either side: the whole state, taken under one lock, so decisions never mix two instants.
    State snapshot() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable room_;
    const qint64 maxAhead_;
    std::deque<qint16> samples_;
    std::deque<TimelineEvent> events_;
    qint64 written_ = 0;
    qint64 consumed_ = 0;
    qint64 charactersBeforeFirstAudio_ = -1;
    qint64 peak_ = 0;
    bool finished_ = false;
    bool aborted_ = false;
};

} // namespace cw::tts
