#pragma once
// Test signals shared by the engine tests.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace ve32::testing {

// Interleaved or mono white noise, uniform in [-amplitude, amplitude].
inline std::vector<int16_t> noise16(std::size_t samples, int amplitude, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(-amplitude, amplitude);
    std::vector<int16_t> out(samples);
    for (auto& s : out) s = static_cast<int16_t>(dist(rng));
    return out;
}

inline std::vector<uint8_t> noise8(std::size_t samples, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(0, 255);
    std::vector<uint8_t> out(samples);
    for (auto& s : out) s = static_cast<uint8_t>(dist(rng));
    return out;
}

// A logarithmic sine sweep from 20 Hz to just under Nyquist, `channels` interleaved copies with the
// right channel (if any) a quarter period behind.
inline std::vector<int16_t> sweep16(std::size_t frames, int channels, int sampleRate,
                                    double amplitude) {
    std::vector<int16_t> out(frames * channels);
    const double f0 = 20.0, f1 = 0.45 * sampleRate;
    const double duration = double(frames) / sampleRate;
    const double k = std::log(f1 / f0);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        const double phase = 2 * M_PI * f0 * duration / k * (std::exp(t / duration * k) - 1);
        for (int c = 0; c < channels; ++c) {
            out[i * channels + c] =
                static_cast<int16_t>(std::lround(amplitude * std::sin(phase - c * M_PI / 2)));
        }
    }
    return out;
}

}  // namespace ve32::testing
