#include "HighBandSwap.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cw::tts {

HighBandSwap::HighBandSwap(double cutoffHz, int sampleRate) {
    // A Linkwitz-Riley crossover: each side is two second-order Butterworth sections (bilinear transform,
    // cookbook form), so the low and the high band of one signal add up to it with a flat magnitude.
    const double w = 2 * std::numbers::pi * cutoffHz / sampleRate;
    const double alpha = std::sin(w) / (2 * std::numbers::sqrt2 / 2);
    const double a0 = 1 + alpha;
    Biquad low;
    low.b0 = (1 - std::cos(w)) / 2 / a0;
    low.b1 = (1 - std::cos(w)) / a0;
    low.b2 = low.b0;
    Biquad high;
    high.b0 = (1 + std::cos(w)) / 2 / a0;
    high.b1 = -(1 + std::cos(w)) / a0;
    high.b2 = high.b0;
    for (Biquad* section : {&low, &high}) {
        section->a1 = -2 * std::cos(w) / a0;
        section->a2 = (1 - alpha) / a0;
    }
    lowOfA_ = {low, low};
    highOfA_ = {high, high};
    highOfB_ = {high, high};
}

double HighBandSwap::Biquad::step(double x) {
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
}

double HighBandSwap::run(Cascade& cascade, double x) {
    for (Biquad& section : cascade) {
        x = section.step(x);
    }
    return x;
}

void HighBandSwap::mix(std::vector<qint16>& a, const std::vector<qint16>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::vector<double> lowOfA(n);
    std::vector<double> highOfA(n);
    std::vector<double> highOfB(n);
    double energyOfA = 0;
    double energyOfB = 0;
    for (std::size_t i = 0; i < n; ++i) {
        lowOfA[i] = run(lowOfA_, a[i]);
        highOfA[i] = run(highOfA_, a[i]);
        highOfB[i] = run(highOfB_, b[i]);
        energyOfA += highOfA[i] * highOfA[i];
        energyOfB += highOfB[i] * highOfB[i];
    }
    // The noise takes the high band's place at the high band's own loudness, which moves smoothly from block
    // to block.
    const double gain = energyOfB > 0 ? std::min(std::sqrt(energyOfA / energyOfB), 2.0) : 0.0;
    gain_ = gain_ < 0 ? gain : (gain_ + gain) / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const double mixed = lowOfA[i] + gain_ * highOfB[i];
        a[i] = qint16(std::clamp(std::lround(mixed), -32768L, 32767L));
    }
}

} // namespace cw::tts
