#pragma once

// Measurements of synthesised speech: its median pitch and how long it speaks.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace cw::tts::test {

/// The pitch of each voiced frame (normalised autocorrelation over 60 ms frames every 10 ms, 40..600 Hz).
inline std::vector<double> pitchTrack(const std::vector<std::int16_t>& samples, int rate) {
    const int frame = rate * 60 / 1000;
    const int hop = rate * 10 / 1000;
    const int minLag = rate / 600;
    const int maxLag = rate / 40;
    std::vector<double> pitches;
    std::vector<double> corr(std::size_t(maxLag + 1));
    for (std::size_t at = 0; at + std::size_t(frame + maxLag) < samples.size(); at += std::size_t(hop)) {
        const std::int16_t* x = samples.data() + at;
        double energy = 0;
        for (int i = 0; i < frame; ++i) {
            energy += double(x[i]) * x[i];
        }
        if (energy / frame < 300.0 * 300.0) {
            continue; // silence or very quiet
        }
        double best = 0;
        for (int lag = minLag; lag <= maxLag; ++lag) {
            double xy = 0;
            double yy = 0;
            for (int i = 0; i < frame; ++i) {
                xy += double(x[i]) * x[i + lag];
                yy += double(x[i + lag]) * x[i + lag];
            }
            corr[std::size_t(lag)] = yy > 0 ? xy / std::sqrt(energy * yy) : 0;
            best = std::max(best, corr[std::size_t(lag)]);
        }
        if (best < 0.6) {
            continue; // unvoiced
        }
        // The shortest lag at a local peak nearly as strong as the best: avoids halving the pitch.
        for (int lag = minLag + 1; lag < maxLag; ++lag) {
            const double c = corr[std::size_t(lag)];
            if (c >= 0.9 * best && c >= corr[std::size_t(lag - 1)] && c >= corr[std::size_t(lag + 1)]) {
                pitches.push_back(double(rate) / lag);
                break;
            }
        }
    }
    return pitches;
}

/// The median fundamental frequency over the voiced frames; 0 when nothing is voiced.
inline double medianPitchHz(const std::vector<std::int16_t>& samples, int rate) {
    std::vector<double> pitches = pitchTrack(samples, rate);
    if (pitches.empty()) {
        return 0;
    }
    std::nth_element(pitches.begin(), pitches.begin() + long(pitches.size() / 2), pitches.end());
    return pitches[pitches.size() / 2];
}

/// Seconds from the first to the last sample louder than the silence threshold.
inline double spokenSeconds(const std::vector<std::int16_t>& samples, int rate, int threshold = 500) {
    const auto loud = [threshold](std::int16_t s) { return std::abs(int(s)) > threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
    if (first == samples.end()) {
        return 0;
    }
    return double(std::distance(first, last.base())) / rate;
}

} // namespace cw::tts::test
