#include "dsp/components/fpu/fpu_cascade.h"

#include <algorithm>
#include <cstddef>

#include "dsp/components/allocation.h"
#include "dsp/components/fpu/fpu_array_routines.h"
#include "dsp/components/fpu/fpu_block_entry.h"
#include "dsp/components/fpu/fpu_channel_buffer.h"

namespace ve32 {

FpuCascade::FpuCascade(float gain, int32_t sectionCount, int32_t coefficientsPerSection,
                       const GroupRunners& runners)
    : gain(gain),
      sectionCount(sectionCount),
      coefficients(allocateArray<float>(std::size_t(coefficientsPerSection) * sectionCount)),
      state(allocateArray<float>(2 * static_cast<std::size_t>(sectionCount))),
      coefficientsPerSection_(coefficientsPerSection),
      runners_(runners) {}

FpuCascade::~FpuCascade() {
    delete[] coefficients;
    delete[] state;
}

int32_t FpuCascade::isQuiet() {
    if (quiet == 0) {
        quiet = isSilentState(sumMagnitudes(state, 2 * sectionCount));
    }
    return quiet;
}

void FpuCascade::reset() {
    std::fill(state, state + 2 * sectionCount, 0.0f);
    quiet = 1;
}

void FpuCascade::process(ChannelBuffer* target, int32_t count) {
    FpuChannelBuffer& buffer = *static_cast<FpuChannelBuffer*>(target);
    if (!enterBlock(*this, buffer, count)) {
        return;
    }
    count = std::max(count, 0);
    float* samples = buffer.storage;
    if (applyGain != 0) {
        scaleSamples(samples, gain, count);
    }
    // Sections in groups of up to four; the tables of this library use one to four.
    for (int32_t first = 0; first < sectionCount; first += 4) {
        const int32_t group = std::min(sectionCount - first, int32_t{4});
        runners_[group - 1](samples, count, coefficients + coefficientsPerSection_ * first,
                            state + 2 * first);
    }
    quiet = 0;
}

void FpuCascade::foldGain(ChannelBuffer* target) {
    FpuChannelBuffer& buffer = *static_cast<FpuChannelBuffer*>(target);
    buffer.inputScale = buffer.inputScale * gain;
    applyGain = 0;
}

void FpuCascade::unfoldGain(ChannelBuffer* target) {
    FpuChannelBuffer& buffer = *static_cast<FpuChannelBuffer*>(target);
    buffer.inputScale = buffer.inputScale / gain;
    applyGain = 1;
}

}  // namespace ve32
