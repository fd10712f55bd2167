#include "dsp/components/fpu/fpu_pole_zero_cascade.h"

#include <algorithm>

namespace ve32 {

namespace {

// Runs kSections consecutive sections over the block, one sample through all of them before the
// next. Each section still reads the float output of the one before, so the result is that of
// running the sections one after another over the whole block, but the independent recursions
// of the sections overlap in the processor instead of waiting on one another.
template <int kSections>
void runSections(float* samples, int32_t count, const float* coefficients, float* state) {
    double a1[kSections], a2[kSections], b1[kSections], b2[kSections];
    double w1[kSections], w2[kSections];
    for (int s = 0; s < kSections; ++s) {
        a1[s] = coefficients[4 * s];
        a2[s] = coefficients[4 * s + 1];
        b1[s] = coefficients[4 * s + 2];
        b2[s] = coefficients[4 * s + 3];
        w1[s] = state[2 * s];
        w2[s] = state[2 * s + 1];
    }
    for (int32_t n = 0; n < count; ++n) {
        float x = samples[n];
#pragma GCC unroll 4
        for (int s = 0; s < kSections; ++s) {
            const double w = x - (a1[s] * w1[s] + a2[s] * w2[s]);
            const double y = (b1[s] * w1[s] + b2[s] * w2[s]) + w;
            w2[s] = w1[s];
            w1[s] = w;
            x = static_cast<float>(y);
        }
        samples[n] = x;
    }
    for (int s = 0; s < kSections; ++s) {
        state[2 * s] = static_cast<float>(w1[s]);
        state[2 * s + 1] = static_cast<float>(w2[s]);
    }
}

constexpr FpuCascade::GroupRunners kRunners = {runSections<1>, runSections<2>, runSections<3>,
                                               runSections<4>};

}  // namespace

FpuPoleZeroCascade::FpuPoleZeroCascade(const PoleZeroParams& params)
    : FpuCascade(params.gain, params.sectionCount, 4, kRunners) {
    if (allocated()) {
        std::copy(params.coefficients, params.coefficients + 4 * sectionCount, coefficients);
        reset();
    }
}

}  // namespace ve32
