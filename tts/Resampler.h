#pragma once

#include <QtGlobal>
#include <vector>

namespace cw::tts {

/// Converts sound from one sample rate to another with a windowed-sinc filter (Blackman window, 16 taps each
/// side), band-limited below the lower rate's Nyquist frequency, so nothing folds back. Any output range can
/// be made on its own from the whole input, which a voice that makes a sentence at once has.
class Resampler {
public:
    Resampler(int fromRate, int toRate);

    int fromRate() const { return from_; }
    int toRate() const { return to_; }
    /// Output samples that `inputLength` input samples make.
    qint64 outputLength(qint64 inputLength) const;
    /// The output sample that stands where input sample `inputSample` does (rounded down).
    qint64 toOutput(qint64 inputSample) const;
    /// Output samples [outFrom, outFrom + count) of `input` into `out`.
    void produce(const std::vector<qint16>& input, qint64 outFrom, qint64 count, qint16* out) const;

private:
    static constexpr int kHalfTaps = 16;
    int from_;
    int to_;
    qint64 phases_;             ///< output samples before the pattern of input positions repeats
    qint64 step_;               ///< input samples the pattern moves over in that time
    double cutoff_;             ///< of the low-pass, in cycles per input sample
    std::vector<float> kernel_; ///< per phase, 2 * kHalfTaps weights
};

} // namespace cw::tts
