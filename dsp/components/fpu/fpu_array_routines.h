#pragma once
// Block routines on float sample arrays, shared by the floating-point channel buffer, filters and
// tap delay. Values are at 16-bit PCM scale (1.0 is one 16-bit step). Sums and products are formed
// in double precision and every value stored into a float array is rounded once, on store.

#include <array>
#include <cstdint>

namespace ve32 {

// Sum of |p[i]|, taken from the last element down to the first in double precision, returned as a
// float; 0 when n <= 0.
float sumMagnitudes(const float* p, int32_t n);

// p[i] = p[i] * gain.
void scaleSamples(float* p, float gain, int32_t n);

// dst[i] = src[i] * gain.
void storeScaled(const float* src, float* dst, float gain, int32_t n);

// dst[i] = dst[i] + src[i] * gain, with one rounding to float per element.
void mixScaled(const float* src, float* dst, float gain, int32_t n);

// An unsigned 8-bit sample b (128 = silence) stands for (b - 128) * 256 on the shared scale. The
// table turns the byte-to-float conversion of 8-bit input into one load.
inline constexpr std::array<float, 256> kByteSampleTable = [] {
    std::array<float, 256> table{};
    for (int b = 0; b < 256; ++b) {
        table[b] = static_cast<float>((b - 128) * 256);
    }
    return table;
}();

}  // namespace ve32
