#include "dsp/components/fpu/fpu_pole_zero_cascade.h"

#include <algorithm>
#include <cstddef>

#include "dsp/components/allocation.h"
#include "dsp/components/fpu/fpu_array_routines.h"
#include "dsp/components/fpu/fpu_block_entry.h"
#include "dsp/components/fpu/fpu_channel_buffer.h"

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

}  // namespace

FpuPoleZeroCascade::FpuPoleZeroCascade(const PoleZeroParams& params)
    : gain(params.gain),
      sectionCount(params.sectionCount),
      coefficients(allocateArray<float>(4 * static_cast<std::size_t>(params.sectionCount))),
      state(allocateArray<float>(2 * static_cast<std::size_t>(params.sectionCount))) {
    if (allocated()) {
        std::copy(params.coefficients, params.coefficients + 4 * sectionCount, coefficients);
        reset();
    }
}

FpuPoleZeroCascade::~FpuPoleZeroCascade() {
    delete[] coefficients;
    delete[] state;
}

int32_t FpuPoleZeroCascade::isQuiet() {
    if (quiet == 0) {
        quiet = isSilentState(sumMagnitudes(state, 2 * sectionCount));
    }
    return quiet;
}

void FpuPoleZeroCascade::reset() {
    std::fill(state, state + 2 * sectionCount, 0.0f);
    quiet = 1;
}

void FpuPoleZeroCascade::process(ChannelBuffer* target, int32_t count) {
    FpuChannelBuffer& buffer = *static_cast<FpuChannelBuffer*>(target);
    if (!enterBlock(*this, buffer, count)) {
        return;
    }
    count = std::max(count, 0);
    float* samples = buffer.storage;
    if (applyGain != 0) {
        scaleSamples(samples, gain, count);
    }
    // Sections in groups of up to four; the tables of this library use one or two.
    for (int32_t first = 0; first < sectionCount; first += 4) {
        const float* sectionCoefficients = coefficients + 4 * first;
        float* sectionState = state + 2 * first;
        switch (std::min(sectionCount - first, 4)) {
            case 1:
                runSections<1>(samples, count, sectionCoefficients, sectionState);
                break;
            case 2:
                runSections<2>(samples, count, sectionCoefficients, sectionState);
                break;
            case 3:
                runSections<3>(samples, count, sectionCoefficients, sectionState);
                break;
            default:
                runSections<4>(samples, count, sectionCoefficients, sectionState);
                break;
        }
    }
    quiet = 0;
}

void FpuPoleZeroCascade::foldGain(ChannelBuffer* target) {
    FpuChannelBuffer& buffer = *static_cast<FpuChannelBuffer*>(target);
    buffer.inputScale = buffer.inputScale * gain;
    applyGain = 0;
}

void FpuPoleZeroCascade::unfoldGain(ChannelBuffer* target) {
    FpuChannelBuffer& buffer = *static_cast<FpuChannelBuffer*>(target);
    buffer.inputScale = buffer.inputScale / gain;
    applyGain = 1;
}

}  // namespace ve32
