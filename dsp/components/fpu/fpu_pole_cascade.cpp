#include "dsp/components/fpu/fpu_pole_cascade.h"

#include "dsp/design/pole_coefficients.h"

namespace ve32 {

namespace {

// Runs kSections consecutive resonator sections over the block, one sample (or pair of samples)
// through all of them before the next. Each section reads the float output of the one before,
// exactly as if the sections ran one after another over the whole block; interleaving them lets
// their independent recursions overlap in the processor.
//
// An odd first sample is computed alone as y = x - (c2 p2 + c1 p1); every later pair as
// y0 = (x0 - c2 p2) - c1 p1, y1 = (x1 - c2 p1) - c1 y0. The history stays in double within the
// call and is saved as floats.
template <int kSections>
void runSections(float* samples, int32_t count, const float* coefficients, float* state) {
    double c1[kSections], c2[kSections], p1[kSections], p2[kSections];
    for (int s = 0; s < kSections; ++s) {
        c1[s] = coefficients[2 * s];
        c2[s] = coefficients[2 * s + 1];
        p1[s] = state[2 * s];
        p2[s] = state[2 * s + 1];
    }
    int32_t n = 0;
    if (count % 2 != 0) {
        float x = samples[0];
#pragma GCC unroll 4
        for (int s = 0; s < kSections; ++s) {
            const double y = x - (c2[s] * p2[s] + c1[s] * p1[s]);
            p2[s] = p1[s];
            p1[s] = y;
            x = static_cast<float>(y);
        }
        samples[0] = x;
        n = 1;
    }
    for (; n + 1 < count; n += 2) {
        float x0 = samples[n];
        float x1 = samples[n + 1];
#pragma GCC unroll 4
        for (int s = 0; s < kSections; ++s) {
            const double y0 = (x0 - c2[s] * p2[s]) - c1[s] * p1[s];
            const double y1 = (x1 - c2[s] * p1[s]) - c1[s] * y0;
            p2[s] = y0;
            p1[s] = y1;
            x0 = static_cast<float>(y0);
            x1 = static_cast<float>(y1);
        }
        samples[n] = x0;
        samples[n + 1] = x1;
    }
    for (int s = 0; s < kSections; ++s) {
        state[2 * s] = static_cast<float>(p1[s]);
        state[2 * s + 1] = static_cast<float>(p2[s]);
    }
}

constexpr FpuCascade::GroupRunners kRunners = {runSections<1>, runSections<2>, runSections<3>,
                                               runSections<4>};

}  // namespace

FpuPoleCascade::FpuPoleCascade(const PoleParams& params)
    : FpuCascade(params.gain, params.pairCount, 2, kRunners) {
    if (allocated()) {
        for (int32_t i = 0; i < sectionCount; ++i) {
            poleCoefficients(params.pairs[i], params.sampleRate, &coefficients[2 * i],
                             &coefficients[2 * i + 1]);
        }
        reset();
    }
}

}  // namespace ve32
