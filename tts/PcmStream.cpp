#include "PcmStream.h"

#include <algorithm>

namespace cw::tts {

bool PcmStream::waitForRoom() {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return aborted_ || written_ - consumed_ < maxAhead_; });
    return !aborted_;
}

void PcmStream::append(SynthChunk&& chunk, qint64 charactersSoFar) {
    std::lock_guard lock(mutex_);
    if (aborted_) {
        return;
    }
    if (charactersBeforeFirstAudio_ < 0 && !chunk.samples.empty()) {
        charactersBeforeFirstAudio_ = charactersSoFar;
    }
    samples_.insert(samples_.end(), chunk.samples.begin(), chunk.samples.end());
    written_ += qint64(chunk.samples.size());
    peak_ = std::max(peak_, qint64(samples_.size()));
    events_.insert(events_.end(), chunk.events.begin(), chunk.events.end());
}

void PcmStream::finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
}

void PcmStream::abort() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        samples_.clear();
        events_.clear();
    }
    room_.notify_all();
}

qint64 PcmStream::read(qint16* out, qint64 maxSamples) {
    qint64 n = 0;
    {
        std::lock_guard lock(mutex_);
        n = std::min(maxSamples, qint64(samples_.size()));
        std::copy_n(samples_.begin(), n, out);
        samples_.erase(samples_.begin(), samples_.begin() + n);
        consumed_ += n;
    }
    room_.notify_all();
    return n;
}

void PcmStream::consumeUpTo(qint64 sample) {
    {
        std::lock_guard lock(mutex_);
        const qint64 n = std::clamp<qint64>(sample - consumed_, 0, qint64(samples_.size()));
        samples_.erase(samples_.begin(), samples_.begin() + n);
        consumed_ += n;
    }
    room_.notify_all();
}

QList<TimelineEvent> PcmStream::takeEventsUpTo(qint64 sample) {
    std::lock_guard lock(mutex_);
    QList<TimelineEvent> due;
    while (!events_.empty() && events_.front().sample <= sample) {
        due << events_.front();
        events_.pop_front();
    }
    return due;
}

PcmStream::State PcmStream::snapshot() const {
    std::lock_guard lock(mutex_);
    return State{written_, consumed_, finished_, aborted_, charactersBeforeFirstAudio_, peak_};
}

} // namespace cw::tts
