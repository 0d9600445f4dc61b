#include "SilentOutput.h"

#include <algorithm>

namespace cw::tts {

namespace {
/// Samples taken from the source per call into it (20 ms at 16 kHz).
constexpr qint64 kScratchSamples = 320;
} // namespace

bool SilentOutput::start(SampleSource source, int sampleRate) {
    takeOver(std::move(source), sampleRate, 0);
    return true;
}

void SilentOutput::takeOver(SampleSource source, int sampleRate, qint64 unheard) {
    source_ = std::move(source);
    rate_ = sampleRate;
    startMs_ = clock_.now();
    reached_ = 0;
    unheard_ = std::max<qint64>(unheard, 0);
    played_ = 0;
    scratch_.resize(std::size_t(kScratchSamples));
}

qint64 SilentOutput::played() {
    if (!source_) {
        return played_;
    }
    // Counted from the start, not from the last call, so rounding never drifts from the clock.
    const qint64 reached = (clock_.now() - startMs_) * rate_ / 1000;
    qint64 due = reached - reached_;
    reached_ = reached;
    const qint64 fromUnheard = std::min(due, unheard_);
    unheard_ -= fromUnheard;
    played_ += fromUnheard;
    due -= fromUnheard;
    while (due > 0) {
        const qint64 n = source_(scratch_.data(), std::min(due, kScratchSamples));
        if (n <= 0) {
            break; // ran dry: that time is lost, as on a device
        }
        played_ += n;
        due -= n;
    }
    return played_;
}

void SilentOutput::stop() {
    source_ = {};
}

void SilentOutput::pause() {
    source_ = {};
}

} // namespace cw::tts
