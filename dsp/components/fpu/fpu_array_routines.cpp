#include "dsp/components/fpu/fpu_array_routines.h"

#include <cmath>

namespace ve32 {

float sumMagnitudes(const float* p, int32_t n) {
    double sum = 0.0;
    for (int32_t i = n - 1; i >= 0; --i) {
        sum += std::fabs(static_cast<double>(p[i]));
    }
    return static_cast<float>(sum);
}

// The product of two floats is exact in double, so rounding it to float once gives the same bits
// as a single-precision multiply; the plain float form lets the compiler use packed multiplies.
void scaleSamples(float* p, float gain, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        p[i] = p[i] * gain;
    }
}

void storeScaled(const float* src, float* dst, float gain, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = src[i] * gain;
    }
}

// Here the sum must be formed in double before the one rounding to float: a float multiply
// followed by a float add would round twice.
void mixScaled(const float* src, float* dst, float gain, int32_t n) {
    const double g = gain;
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = static_cast<float>(static_cast<double>(dst[i]) + static_cast<double>(src[i]) * g);
    }
}

}  // namespace ve32
