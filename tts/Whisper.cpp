#include "Whisper.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace cw::tts {
namespace {

constexpr int kOrder = 16;
/// Whispering is softer than speaking.
constexpr double kLoudness = 0.6;

/// Linear-prediction coefficients a[1..kOrder] (a[0] = 1) from autocorrelation, by Levinson-Durbin.
/// Returns the prediction error power, 0 for silence.
double predictor(const std::array<double, kOrder + 1>& r, std::array<double, kOrder + 1>& a) {
    a.fill(0);
    a[0] = 1;
    double error = r[0];
    if (error <= 0) {
        return 0;
    }
    for (int i = 1; i <= kOrder; ++i) {
        double acc = r[std::size_t(i)];
        for (int j = 1; j < i; ++j) {
            acc += a[std::size_t(j)] * r[std::size_t(i - j)];
        }
        const double k = -acc / error;
        std::array<double, kOrder + 1> next = a;
        for (int j = 1; j < i; ++j) {
            next[std::size_t(j)] = a[std::size_t(j)] + k * a[std::size_t(i - j)];
        }
        next[std::size_t(i)] = k;
        a = next;
        error *= 1 - k * k;
        if (error <= 1e-9 * r[0]) {
            break;
        }
    }
    return std::max(error, 0.0);
}

} // namespace

std::vector<qint16> whisper(const std::vector<qint16>& speech, int sampleRate) {
    const int frame = std::max(2 * kOrder, sampleRate / 50); // 20 ms
    const int hop = frame / 2;
    std::vector<double> window(static_cast<std::size_t>(frame));
    for (int i = 0; i < frame; ++i) {
        window[std::size_t(i)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / frame); // Hann: sums to 1
    }
    std::vector<double> out(speech.size() + std::size_t(frame), 0.0);
    std::mt19937 noise(20240607u);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(frame));
    std::vector<double> y(static_cast<std::size_t>(frame));
    for (std::size_t at = 0; at < speech.size(); at += std::size_t(hop)) {
        for (int i = 0; i < frame; ++i) {
            const std::size_t k = at + std::size_t(i);
            x[std::size_t(i)] = (k < speech.size() ? speech[k] : 0) * window[std::size_t(i)];
        }
        std::array<double, kOrder + 1> r{};
        for (int lag = 0; lag <= kOrder; ++lag) {
            for (int i = lag; i < frame; ++i) {
                r[std::size_t(lag)] += x[std::size_t(i)] * x[std::size_t(i - lag)];
            }
        }
        std::array<double, kOrder + 1> a{};
        if (predictor(r, a) <= 0) {
            continue;
        }
        // Noise through the all-pole filter 1/A(z), scaled to the frame's own energy.
        double energy = 0;
        for (int i = 0; i < frame; ++i) {
            double v = gauss(noise);
            for (int j = 1; j <= kOrder && j <= i; ++j) {
                v -= a[std::size_t(j)] * y[std::size_t(i - j)];
            }
            y[std::size_t(i)] = v;
            energy += v * v * window[std::size_t(i)] * window[std::size_t(i)];
        }
        const double gain = energy > 0 ? std::sqrt(r[0] / energy) : 0;
        for (int i = 0; i < frame; ++i) {
            out[at + std::size_t(i)] += y[std::size_t(i)] * gain * window[std::size_t(i)];
        }
    }
    std::vector<qint16> result(speech.size());
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = qint16(std::clamp(out[i] * kLoudness, -32768.0, 32767.0));
    }
    return result;
}

} // namespace cw::tts
