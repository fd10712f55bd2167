#include "dsp/components/fpu/fpu_fir_filter.h"

#include <algorithm>
#include <cstddef>

#include "dsp/components/allocation.h"
#include "dsp/components/fpu/fpu_array_routines.h"
#include "dsp/components/fpu/fpu_block_entry.h"
#include "dsp/components/fpu/fpu_channel_buffer.h"

namespace ve32 {

namespace {

// Sum of window[k] * b[k] for k = 0 .. n-1 in increasing k, carried in double and rounded once.
inline float firDot(const float* window, const float* b, int32_t n) {
    double sum = 0.0;
    for (int32_t k = 0; k < n; ++k) {
        sum += static_cast<double>(window[k]) * static_cast<double>(b[k]);
    }
    return static_cast<float>(sum);
}

}  // namespace

FpuFirFilter::FpuFirFilter(const FirParams& params)
    : tapCount(params.tapCount),
      coefficients(allocateArray<float>(static_cast<std::size_t>(params.tapCount))),
      history(allocateArray<float>(2 * static_cast<std::size_t>(params.tapCount))) {
    if (allocated()) {
        std::copy(params.coefficients, params.coefficients + tapCount, coefficients);
        reset();
    }
}

FpuFirFilter::~FpuFirFilter() {
    delete[] history;
    delete[] coefficients;
}

int32_t FpuFirFilter::isQuiet() {
    if (quiet == 0) {
        // Entries [0, tapCount) are the newest inputs, in rotated order.
        quiet = isSilentState(sumMagnitudes(history, tapCount));
    }
    return quiet;
}

void FpuFirFilter::reset() {
    position = tapCount - 1;
    std::fill(history, history + 2 * tapCount, 0.0f);
    quiet = 1;
}

void FpuFirFilter::process(ChannelBuffer* target, int32_t count) {
    FpuChannelBuffer& buffer = *static_cast<FpuChannelBuffer*>(target);
    if (!enterBlock(*this, buffer, count)) {
        return;
    }
    float* samples = buffer.storage;
    const int32_t taps = tapCount;
    const float* b = coefficients;
    int32_t p = position;
    int32_t n = 0;
    while (n < count) {
        if (p >= 3 && count - n >= 4) {
            // Four outputs at once while their windows, starting at p, p-1, p-2 and p-3, need no
            // wrap. The four sums are independent, so the processor overlaps them; each is
            // still formed in increasing k. The upper copies of the three later inputs land at
            // p+N-1 .. p+N-3, inside the earlier windows where the old inputs are still needed,
            // so they are stored only after the sums.
            const float x0 = samples[n];
            const float x1 = samples[n + 1];
            const float x2 = samples[n + 2];
            const float x3 = samples[n + 3];
            history[p] = x0;
            history[p - 1] = x1;
            history[p - 2] = x2;
            history[p - 3] = x3;
            history[p + taps] = x0;
            const float* window = history + p - 3;
            double sum0 = 0.0;
            double sum1 = 0.0;
            double sum2 = 0.0;
            double sum3 = 0.0;
            for (int32_t k = 0; k < taps; ++k) {
                const double c = b[k];
                sum3 += static_cast<double>(window[k]) * c;
                sum2 += static_cast<double>(window[k + 1]) * c;
                sum1 += static_cast<double>(window[k + 2]) * c;
                sum0 += static_cast<double>(window[k + 3]) * c;
            }
            history[p - 1 + taps] = x1;
            history[p - 2 + taps] = x2;
            history[p - 3 + taps] = x3;
            samples[n] = static_cast<float>(sum0);
            samples[n + 1] = static_cast<float>(sum1);
            samples[n + 2] = static_cast<float>(sum2);
            samples[n + 3] = static_cast<float>(sum3);
            p -= 4;
            if (p < 0) {
                p += taps;
            }
            n += 4;
        } else {
            const float x = samples[n];
            history[p + taps] = x;
            history[p] = x;
            samples[n] = firDot(history + p, b, taps);
            p = (p == 0) ? taps - 1 : p - 1;
            ++n;
        }
    }
    position = p;
    quiet = 0;
}

}  // namespace ve32
