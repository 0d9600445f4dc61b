#include "Resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace cw::tts {
namespace {

double blackman(double x) { // x in [-1, 1]
    const double a = std::numbers::pi * (x + 1);
    return 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
}

} // namespace

Resampler::Resampler(int fromRate, int toRate) : from_(std::max(fromRate, 1)), to_(std::max(toRate, 1)) {
    const int common = std::gcd(from_, to_);
    phases_ = to_ / common;
    step_ = from_ / common;
    // Just under the lower Nyquist frequency, so the filter's own transition band stays below it.
    cutoff_ = 0.5 * std::min(1.0, double(to_) / from_) * 0.92;
    kernel_.resize(std::size_t(phases_) * 2 * kHalfTaps);
    for (qint64 phase = 0; phase < phases_; ++phase) {
        // Output sample `phase` stands at input position phase * step / phases: its fraction past a sample.
        const double fraction = double(phase * step_ % phases_) / double(phases_);
        float* weights = kernel_.data() + phase * 2 * kHalfTaps;
        double sum = 0;
        for (int tap = 0; tap < 2 * kHalfTaps; ++tap) {
            const double distance = fraction - (tap - kHalfTaps + 1); // from input sample floor + tap - 15
            const double x = 2 * cutoff_ * distance;
            const double sinc = x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            const double w = 2 * cutoff_ * sinc * blackman(std::clamp(distance / kHalfTaps, -1.0, 1.0));
            weights[tap] = float(w);
            sum += w;
        }
        for (int tap = 0; tap < 2 * kHalfTaps; ++tap) {
            weights[tap] = float(weights[tap] / sum); // unit gain at 0 Hz in every phase
        }
    }
}

qint64 Resampler::outputLength(qint64 inputLength) const {
    return inputLength <= 0 ? 0 : (inputLength * phases_ + step_ - 1) / step_;
}

qint64 Resampler::toOutput(qint64 inputSample) const {
    return inputSample * phases_ / step_;
}

void Resampler::produce(const std::vector<qint16>& input, qint64 outFrom, qint64 count, qint16* out) const {
    const qint64 size = qint64(input.size());
    for (qint64 i = 0; i < count; ++i) {
        const qint64 n = outFrom + i;
        const qint64 base = n * step_ / phases_; // the input sample at or before the output sample
        const float* weights = kernel_.data() + (n % phases_) * 2 * kHalfTaps;
        double acc = 0;
        for (int tap = 0; tap < 2 * kHalfTaps; ++tap) {
            const qint64 k = base + tap - kHalfTaps + 1;
            if (k >= 0 && k < size) {
                acc += weights[tap] * input[std::size_t(k)];
            }
        }
        out[i] = qint16(std::clamp(std::lround(acc), -32768L, 32767L));
    }
}

} // namespace cw::tts
