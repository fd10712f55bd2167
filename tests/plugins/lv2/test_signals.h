#pragma once
// Deterministic 16-bit test material: tones, noise and bursts close to full scale (so the engines'
// saturation is exercised), different in each channel.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace ve::lv2::testing {

inline std::vector<int16_t> makeChannel(size_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const double step = 0.013 + 0.011 * (seed % 7);
    std::vector<int16_t> samples(frames);
    for (size_t t = 0; t < frames; ++t) {
        const bool burst = (t / 3000) % 5 == 4;
        double value = 0.35 * std::sin(step * static_cast<double>(t)) +
                       0.25 * std::sin(0.0021 * static_cast<double>(t) * (1 + seed % 3)) +
                       (burst ? 0.38 : 0.08) * noise(random);
        samples[t] = static_cast<int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
    }
    return samples;
}

// The float form of 16-bit samples that hosts hand a plugin: s / 32768.
inline std::vector<float> toFloat(const std::vector<int16_t>& samples) {
    std::vector<float> result(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        result[i] = static_cast<float>(samples[i]) / 32768.0f;
    return result;
}

inline std::vector<int16_t> interleave(const std::vector<int16_t>& left,
                                       const std::vector<int16_t>& right) {
    std::vector<int16_t> result(2 * left.size());
    for (size_t i = 0; i < left.size(); ++i) {
        result[2 * i] = left[i];
        result[2 * i + 1] = right[i];
    }
    return result;
}

}  // namespace ve::lv2::testing
