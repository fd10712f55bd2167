#pragma once
// Plain records that describe a component to a Backend factory. The factory reads and copies what
// it keeps during the call; the caller keeps ownership of the records and of the arrays they name.

#include <cstdint>

namespace ve32 {

struct DelayTap {
    int32_t delay;  // samples
    float gain;
};

struct TapDelayParams {
    const DelayTap* taps;
    int32_t tapCount;
};

struct FirParams {
    const float* coefficients;  // b[0] (newest sample) ... b[tapCount - 1]
    int32_t tapCount;
};

// Each section is (1 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2); `gain` is the whole cascade's.
struct PoleZeroParams {
    float gain;
    int32_t sectionCount;
    const float* coefficients;  // a1, a2, b1, b2 per section
};

struct PolePair {
    float frequency;  // Hz
    float radius;
};

// Each section is 1 / (1 + c1 z^-1 + c2 z^-2) with c1 = -2 r cos(2 pi f / fs), c2 = r^2.
struct PoleParams {
    int32_t sampleRate;  // Hz
    float gain;
    int32_t pairCount;
    const PolePair* pairs;
};

}  // namespace ve32
