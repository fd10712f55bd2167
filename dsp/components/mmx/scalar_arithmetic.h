#pragma once
// One-sample arithmetic of the packed back-end, shared by the scalar kernels, the remainders of
// the vector kernels and the components' single-sample paths. Everything here is plain integer
// code: the vector files include it before they switch on their instruction set, so its
// functions stay runnable on every processor.

#include <cstdint>

#include "dsp/components/mmx/fixed_point.h"

namespace ve32::scalar {

// Products and sums the packed instructions form in 32-bit two's complement, computed without
// signed overflow.
inline uint32_t product32(int32_t a, int32_t b) {
    return static_cast<uint32_t>(a) * static_cast<uint32_t>(b);
}
inline int32_t asSigned(uint32_t value) {
    return static_cast<int32_t>(value);
}

// The low 16 bits of a value, read as signed (what a 16-bit lane keeps).
inline int16_t low16(int32_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu));
}

// 16-bit saturating addition (the packed adds-with-saturation).
inline int16_t addSaturate(int16_t a, int16_t b) {
    return saturate16(int32_t{a} + b);
}

// An 8-bit input byte on the 16-bit scale: the byte in the upper half, top bit inverted.
inline int16_t byteToSample(uint8_t b) {
    return static_cast<int16_t>(static_cast<uint16_t>((b << 8) ^ 0x8000));
}

// A sample as an 8-bit output byte: its upper byte with the top bit inverted, floor(x/256) + 128.
inline uint8_t sampleToByte(int16_t x) {
    return static_cast<uint8_t>((static_cast<uint16_t>(x) >> 8) ^ 0x80u);
}

// Inside a group of 16: 2 * highProduct(x, gain), kept in 16 bits.
inline int16_t groupProduct(int16_t x, int16_t gain) {
    const int32_t high = (int32_t{x} * gain) >> 16;
    return low16(high * 2);
}

// One sample at a time: floor(x * gain / 32768), kept in 16 bits.
inline int16_t singleProduct(int16_t x, int16_t gain) {
    return low16((int32_t{x} * gain) >> 15);
}

// The wide gains' product: floor(x * gain / 32768) with |gain| < 2^30, exact.
inline int32_t wideProduct(int16_t x, int32_t gain) {
    return static_cast<int32_t>((int64_t{x} * gain) >> 15);
}

// Wide gain of sample k of a pass: G + k * S limited to +-(2^30 - 1); |G|, |S| <= 2^31.
inline int32_t wideGainAt(int64_t gain, int64_t step, int64_t k) {
    constexpr int64_t limit = (int64_t{1} << 30) - 1;
    int64_t value = gain + k * step;
    if (value > limit) value = limit;
    if (value < -limit) value = -limit;
    return static_cast<int32_t>(value);
}

// The one-sample tail of a 16-bit ramp pass: the running gain starts at `gain`, moves by `step`
// after each sample (16-bit arithmetic), and each sample gives singleProduct.
template <class Source, class Convert>
inline void rampTail(const Source* src, int16_t gain, int16_t step, int16_t* dst, int32_t n,
                     bool add, Convert convert) {
    for (int32_t i = 0; i < n; ++i) {
        const int16_t y = singleProduct(convert(src[i]), gain);
        dst[i] = add ? addSaturate(dst[i], y) : y;
        gain = low16(int32_t{gain} + step);
    }
}

// The wide pass from sample `first` on: sample k uses wideGainAt(gain, step, k).
template <class Source, class Convert>
inline void wideTail(const Source* src, int64_t gain, int64_t step, int16_t* dst, int32_t first,
                     int32_t n, bool add, Convert convert) {
    for (int32_t k = first; k < n; ++k) {
        const int32_t y = wideProduct(convert(src[k]), wideGainAt(gain, step, k));
        dst[k] = saturate16(add ? y + dst[k] : y);
    }
}

inline int16_t identitySample(int16_t x) {
    return x;
}

// The 32-bit result of a FIR window: above 32767 gives 32767, at or below -32768 gives -32768.
inline int16_t saturateSum(int32_t sum) {
    return saturate16(sum);
}

// Pole-zero cascade, single step: s = S0 x + S3 xb + S4 xa - S1 yb - S2 ya, y = sat(s >> 13).
// step holds g, a1, a2, b1 g, b2 g in Q13; state holds xa, xb, ya, yb.
inline void poleZeroSingle(const int32_t* step, int16_t* state, int16_t* sample) {
    const int16_t x = *sample;
    const uint32_t s = product32(step[0], x) + product32(step[3], state[1]) +
                       product32(step[4], state[0]) - product32(step[1], state[3]) -
                       product32(step[2], state[2]);
    const int16_t y = saturate16(asSigned(s) >> 13);
    *sample = y;
    state[0] = state[1];
    state[1] = x;
    state[2] = state[3];
    state[3] = y;
}

// Pole cascade, single step: s = S0 x - S1 yb - S2 ya (Q14), y = sat(s >> 14); state ya, yb.
inline void poleSingle(const int16_t* step, int16_t* state, int16_t* sample) {
    const uint32_t s =
        product32(step[0], *sample) - product32(step[1], state[1]) - product32(step[2], state[0]);
    const int16_t y = saturate16(asSigned(s) >> 14);
    *sample = y;
    state[0] = state[1];
    state[1] = y;
}

// Extended-precision pole-zero sections: Q28 coefficients, a Q12 output history (so the history
// part is Q40) and rounding to the nearest Q12 value.
constexpr int64_t kHalfQ28 = int64_t{1} << 27;
constexpr int64_t kHighQ12 = int64_t{32767} << 12;
constexpr int64_t kLowQ12 = int64_t{-32768} << 12;

// A Q12 history value as an output sample: rounded to the nearest step and limited.
inline int16_t extendedOutput(int64_t q12) {
    const int64_t rounded = (q12 + 2048) >> 12;
    return static_cast<int16_t>(rounded > 32767 ? 32767 : (rounded < -32768 ? -32768 : rounded));
}

// The Q28 input part (an exact sum of Q28 coefficients times samples, at most 4 * 2^31 * 2^15 in
// magnitude) moved to Q40, with the rounding half of the final shift added.
inline int64_t extendedInput(int64_t inputPart) {
    return (inputPart << 12) + kHalfQ28;
}

// The new Q12 output from the input part as extendedInput gives it and the Q40 history part; a
// value beyond the sample range enters the history limited.
inline int64_t extendedStep(int64_t input, int64_t historyPart) {
    const int64_t y = (input + historyPart) >> 28;
    if (__builtin_expect(y > kHighQ12 || y < kLowQ12, 0)) return int64_t{extendedOutput(y)} << 12;
    return y;
}

}  // namespace ve32::scalar
