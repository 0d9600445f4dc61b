#pragma once

#include <QtGlobal>
#include <array>
#include <vector>

namespace cw::tts {

/// Swaps the high band of one signal for another's as they stream, block by block: out = LP(a) + g HP(b),
/// with LP and HP a fourth-order Linkwitz-Riley crossover (LP(a) + HP(a) has the magnitude of a) and g the
/// ratio of the two high bands' loudness in the block (smoothed from block to block). Keeps its state from
/// call to call.
class HighBandSwap {
public:
    HighBandSwap(double cutoffHz, int sampleRate);

    /// Replaces `a` with the mix of it and `b`, as long as it.
    void mix(std::vector<qint16>& a, const std::vector<qint16>& b);

private:
    struct Biquad {
        double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        double z1 = 0, z2 = 0;
        double step(double x);
    };
    using Cascade = std::array<Biquad, 2>;
    static double run(Cascade& cascade, double x);

    Cascade lowOfA_;
    Cascade highOfA_;
    Cascade highOfB_;
    double gain_ = -1; ///< none yet
};

} // namespace cw::tts
