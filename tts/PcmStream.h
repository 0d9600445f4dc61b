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
class PcmStream {
public:
    explicit PcmStream(qint64 maxAhead) : maxAhead_(maxAhead) {}

    /// Writer: waits for room; false once the stream is aborted.
    bool waitForRoom();
    /// Writer: adds a chunk; `charactersSoFar` counts the text synthesised up to and including it.
    void append(SynthChunk&& chunk, qint64 charactersSoFar);
    /// Writer: no more audio will come.
    void finish();

    /// Either side: stop everything; the writer stops at its next check.
    void abort();
    bool aborted() const;

    /// Reader (audio output): copies up to `maxSamples` samples; 0 when none are waiting.
    qint64 read(qint16* out, qint64 maxSamples);
    /// Reader (silent clock): forgets the samples before `sample`, as if they had been played.
    void consumeUpTo(qint64 sample);
    /// Reader: removes and returns the events up to `sample`.
    QList<TimelineEvent> takeEventsUpTo(qint64 sample);

    qint64 written() const;
    qint64 consumed() const;
    bool finished() const;
    /// The text synthesised before the first sample was ready (-1 while there is none).
    qint64 charactersBeforeFirstAudio() const;
    /// The most samples ever waiting at once.
    qint64 peakBuffered() const;

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
