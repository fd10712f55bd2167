// The reference kernels: each states the packed arithmetic one sample at a time, exactly as the
// vector versions must reproduce it. Processors without vector instructions run these.

#include "dsp/components/mmx/kernel_tables.h"
#include "dsp/components/mmx/scalar_arithmetic.h"

namespace ve32 {

// Each instruction set's functions live in their own namespace, apart from the public
// routines of the same names.
namespace {
namespace isa {

using scalar::addSaturate;
using scalar::asSigned;
using scalar::byteToSample;
using scalar::groupProduct;
using scalar::low16;
using scalar::product32;

// A ramp pass: groups of 16 first, samples 0-7 of a group at gLow and 8-15 at gHigh (which
// starts 8 steps ahead), both advancing by 16 steps per group with saturation; then the rest
// one at a time from gLow.
template <class Source, class Convert>
void rampPass(const Source* src, int16_t gain, int16_t step, int16_t* dst, int32_t n, bool add,
              Convert convert) {
    const int16_t step8 = low16(int32_t{step} * 8);
    const int16_t step16 = low16(int32_t{step} * 16);
    int16_t gLow = gain;
    int16_t gHigh = addSaturate(gain, step8);
    const int32_t grouped = n & ~15;
    for (int32_t base = 0; base < grouped; base += 16) {
        for (int32_t i = 0; i < 16; ++i) {
            const int16_t y = groupProduct(convert(src[base + i]), i < 8 ? gLow : gHigh);
            dst[base + i] = add ? addSaturate(dst[base + i], y) : y;
        }
        gLow = addSaturate(gLow, step16);
        gHigh = addSaturate(gHigh, step16);
    }
    scalar::rampTail(src + grouped, gLow, step, dst + grouped, n - grouped, add, convert);
}

void storeRamp16(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    rampPass(src, gain, step, dst, n, false, scalar::identitySample);
}
void mixRamp16(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    rampPass(src, gain, step, dst, n, true, scalar::identitySample);
}
void storeRamp8(const uint8_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    rampPass(src, gain, step, dst, n, false, byteToSample);
}
void mixRamp8(const uint8_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    rampPass(src, gain, step, dst, n, true, byteToSample);
}

void storeWide16(const int16_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n) {
    scalar::wideTail(src, gain, step, dst, 0, n, false, scalar::identitySample);
}
void mixWide16(const int16_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n) {
    scalar::wideTail(src, gain, step, dst, 0, n, true, scalar::identitySample);
}
void storeWide8(const uint8_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n) {
    scalar::wideTail(src, gain, step, dst, 0, n, false, byteToSample);
}
void mixWide8(const uint8_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n) {
    scalar::wideTail(src, gain, step, dst, 0, n, true, byteToSample);
}

void scale16(int16_t* p, int16_t gain, int32_t n) {
    const int32_t grouped = n & ~15;
    for (int32_t i = 0; i < grouped; ++i) p[i] = groupProduct(p[i], gain);
    for (int32_t i = grouped; i < n; ++i) p[i] = scalar::singleProduct(p[i], gain);
}

void addSaturate16(const int16_t* src, int16_t* dst, int32_t n) {
    for (int32_t i = 0; i < n; ++i) dst[i] = addSaturate(dst[i], src[i]);
}

void interleave16(const int16_t* left, const int16_t* right, int16_t* dst, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        dst[2 * i] = left[i];
        dst[2 * i + 1] = right[i];
    }
}

void interleave8(const int16_t* left, const int16_t* right, uint8_t* dst, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        dst[2 * i] = scalar::sampleToByte(left[i]);
        dst[2 * i + 1] = scalar::sampleToByte(right[i]);
    }
}

void toBytes8(const int16_t* src, uint8_t* dst, int32_t n) {
    for (int32_t i = 0; i < n; ++i) dst[i] = scalar::sampleToByte(src[i]);
}

int32_t sumMagnitudes16(const int16_t* p, int32_t n) {
    uint32_t sum = 0;
    for (int32_t i = 0; i < n; ++i) sum += static_cast<uint32_t>(p[i] < 0 ? -p[i] : p[i]);
    return asSigned(sum);
}

int32_t findLoud16(const int16_t* p, int16_t threshold, int32_t n) {
    const int16_t negative = low16(-int32_t{threshold});
    for (int32_t i = 0; i < n; ++i) {
        if (p[i] >= threshold || p[i] <= negative) return i;
    }
    return -1;
}

// The window of the newest sample starts at history[p - r], r = p mod 4, and meets coefficient
// copy r; products are summed in pairs from the window's start, each pair shifted by 15.
int32_t firBlock(const FirLayout& layout, int16_t* history, int32_t position, int16_t* samples,
                 int32_t count) {
    const int32_t taps = layout.tapCount;
    for (int32_t i = 0; i < count; ++i) {
        const int16_t x = samples[i];
        history[position] = x;
        history[position + taps] = x;
        const int32_t phase = position & 3;
        const int16_t* window = history + position - phase;
        const int16_t* coefficients = layout.phaseCoefficients[phase];
        uint32_t sum = 0;
        for (int32_t k = 0; k < layout.phaseLengths[phase]; k += 2) {
            const uint32_t pair = product32(window[k], coefficients[k]) +
                                  product32(window[k + 1], coefficients[k + 1]);
            sum += static_cast<uint32_t>(asSigned(pair) >> 15);
        }
        samples[i] = scalar::saturateSum(asSigned(sum));
        position = position == 0 ? taps - 1 : position - 1;
    }
    return position;
}

// Both outputs of a pair come from the two inputs and the section's history alone:
// s0 = P0 x0 + P1 x1 + P4 xa + P5 xb + P8 ya + P9 yb, s1 likewise with P2, P3, P6, P7, P10, P11.
void poleZeroPairs(const int32_t* pair, int16_t* state, int16_t* samples, int32_t pairCount) {
    int16_t xa = state[0], xb = state[1], ya = state[2], yb = state[3];
    for (int32_t j = 0; j < pairCount; ++j) {
        const int16_t x0 = samples[2 * j];
        const int16_t x1 = samples[2 * j + 1];
        const uint32_t s0 = product32(pair[0], x0) + product32(pair[1], x1) +
                            product32(pair[4], xa) + product32(pair[5], xb) +
                            product32(pair[8], ya) + product32(pair[9], yb);
        const uint32_t s1 = product32(pair[2], x0) + product32(pair[3], x1) +
                            product32(pair[6], xa) + product32(pair[7], xb) +
                            product32(pair[10], ya) + product32(pair[11], yb);
        const int16_t y0 = saturate16(asSigned(s0) >> 13);
        const int16_t y1 = saturate16(asSigned(s1) >> 13);
        samples[2 * j] = y0;
        samples[2 * j + 1] = y1;
        xa = x0;
        xb = x1;
        ya = y0;
        yb = y1;
    }
    state[0] = xa;
    state[1] = xb;
    state[2] = ya;
    state[3] = yb;
}

}  // namespace isa
}  // namespace

void poleZeroPairsExtendedScalar(const ExtendedPairCoefficients& pair, int16_t* inputs,
                                 int64_t* outputs, int16_t* samples, int32_t pairCount) {
    const int32_t* in = pair.input;
    const int64_t* back = pair.back;
    int64_t xa = inputs[0], xb = inputs[1];
    int64_t ya = outputs[0], yb = outputs[1];
    for (int32_t j = 0; j < pairCount; ++j) {
        const int64_t x0 = samples[2 * j];
        const int64_t x1 = samples[2 * j + 1];
        // Pair value 1 (x1's weight in the first output) is zero by construction.
        const int64_t part0 = scalar::extendedInput(in[0] * x0 + in[4] * xa + in[5] * xb);
        const int64_t part1 =
            scalar::extendedInput(in[2] * x0 + in[3] * x1 + in[6] * xa + in[7] * xb);
        const int64_t y0 = scalar::extendedStep(part0, back[1] * yb + back[0] * ya);
        const int64_t y1 = scalar::extendedStep(part1, back[3] * yb + back[2] * ya);
        samples[2 * j] = scalar::extendedOutput(y0);
        samples[2 * j + 1] = scalar::extendedOutput(y1);
        xa = x0;
        xb = x1;
        ya = y0;
        yb = y1;
    }
    inputs[0] = static_cast<int16_t>(xa);
    inputs[1] = static_cast<int16_t>(xb);
    outputs[0] = ya;
    outputs[1] = yb;
}

namespace {
namespace isa {

// Each two-term sum is shifted on its own: s0 = (P0 x0 + P1 x1) >> 13 + (P4 ya + P5 yb) >> 13,
// s1 = (P2 x0 + P3 x1) >> 13 + (P6 ya + P7 yb) >> 13.
void poleCascadePairs(const int16_t* pair, int16_t* state, int32_t sectionCount, int16_t* samples,
                      int32_t pairCount) {
    for (int32_t section = 0; section < sectionCount; ++section) {
        const int16_t* p = pair + 8 * section;
        int16_t ya = state[2 * section], yb = state[2 * section + 1];
        for (int32_t j = 0; j < pairCount; ++j) {
            const int16_t x0 = samples[2 * j];
            const int16_t x1 = samples[2 * j + 1];
            const int32_t s0 = (asSigned(product32(p[0], x0) + product32(p[1], x1)) >> 13) +
                               (asSigned(product32(p[4], ya) + product32(p[5], yb)) >> 13);
            const int32_t s1 = (asSigned(product32(p[2], x0) + product32(p[3], x1)) >> 13) +
                               (asSigned(product32(p[6], ya) + product32(p[7], yb)) >> 13);
            ya = saturate16(s0);
            yb = saturate16(s1);
            samples[2 * j] = ya;
            samples[2 * j + 1] = yb;
        }
        state[2 * section] = ya;
        state[2 * section + 1] = yb;
    }
}

}  // namespace isa
}  // namespace

namespace {

const MmxKernels kScalar = {
    "scalar",
    isa::storeRamp16,
    isa::mixRamp16,
    isa::storeRamp8,
    isa::mixRamp8,
    isa::storeWide16,
    isa::mixWide16,
    isa::storeWide8,
    isa::mixWide8,
    isa::scale16,
    isa::addSaturate16,
    isa::interleave16,
    isa::interleave8,
    isa::toBytes8,
    isa::sumMagnitudes16,
    isa::findLoud16,
    isa::firBlock,
    isa::poleZeroPairs,
    poleZeroPairsExtendedScalar,
    isa::poleCascadePairs,
};

}  // namespace

const MmxKernels& scalarKernels() {
    return kScalar;
}

}  // namespace ve32
