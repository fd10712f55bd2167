#pragma once
// The packed back-end's inner loops, as a table of function pointers.
//
// Every loop exists as a plain scalar function that states the arithmetic as simply as possible
// (the reference, and the path on processors without vector instructions) and as vector versions
// for the instruction sets that pay (SSE2, the x86-64 baseline, and AVX2 where wider registers
// help). All variants give identical results. The table is chosen once, when the library starts,
// from the processor's features; components copy the pointer when they are built, so nothing is
// decided per sample.
//
// Integer conventions shared by every variant: the high product of two int16 values is the upper
// half of their exact 32-bit product, i.e. floor(x * g / 65536); shifts of negative values are
// arithmetic (floor division); sums that the packed multiply-add forms are 32-bit two's complement.

#include <cstdint>

namespace ve32 {

// One coefficient layout of the FIR filter, shared by every variant (see MmxFirFilter).
struct FirLayout {
    int32_t tapCount;                     // N
    const int16_t* phaseCoefficients[4];  // array r: r zeros, the N Q15 coefficients, zeros
    int32_t phaseLengths[4];              // multiples of 16
};

// A pole-zero section in extended precision (see MmxPoleZeroCascade): the twelve pair values in
// Q28, 0-7 weighing the inputs, 8-11 the output history. Value 1 (x(n+1) in the first output) is
// zero for every section and is not read.
struct ExtendedPairCoefficients {
    int32_t input[8];
    int64_t back[4];
};

struct MmxKernels {
    const char* name;

    // Mixing passes with a Q15 gain and step that fit the packed format (|gain| along the whole
    // ramp at most 32767, |step| at most 2047). Groups of 16 samples use two running gains (low
    // and high half of the group) and give 2 * highProduct(x, gain); the remaining n mod 16
    // samples run one at a time and give floor(x * gain / 32768). Store writes the result, mix
    // adds it with saturation. 8-bit input byte b enters as (b - 128) * 256.
    void (*storeRamp16)(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n);
    void (*mixRamp16)(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n);
    void (*storeRamp8)(const uint8_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n);
    void (*mixRamp8)(const uint8_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n);

    // Mixing passes for gains the 16-bit format cannot hold (beyond +-1.0): sample k uses the
    // Q15 gain G + k * S limited to +-(2^30 - 1) and gives floor(x * gain / 32768), stored with
    // saturation or added to the destination with one saturation of the exact sum.
    void (*storeWide16)(const int16_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n);
    void (*mixWide16)(const int16_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n);
    void (*storeWide8)(const uint8_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n);
    void (*mixWide8)(const uint8_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n);

    // In place: whole groups of 16 from p[0] become 2 * highProduct(x, gain), the rest
    // floor(x * gain / 32768), stored without saturation (|gain| <= 32767 cannot overflow).
    void (*scale16)(int16_t* p, int16_t gain, int32_t n);
    // dst[i] = sat(dst[i] + src[i]).
    void (*addSaturate16)(const int16_t* src, int16_t* dst, int32_t n);

    // Output conversions. Bytes are the upper byte of the sample with its top bit inverted.
    void (*interleave16)(const int16_t* left, const int16_t* right, int16_t* dst, int32_t n);
    void (*interleave8)(const int16_t* left, const int16_t* right, uint8_t* dst, int32_t n);
    void (*toBytes8)(const int16_t* src, uint8_t* dst, int32_t n);

    // Sum of |p[i]| as a 32-bit integer; index of the first |p[i]| >= threshold or -1.
    int32_t (*sumMagnitudes16)(const int16_t* p, int32_t n);
    int32_t (*findLoud16)(const int16_t* p, int16_t threshold, int32_t n);

    // FIR over a block in place with the doubled history (2N entries and a 14-entry zero tail);
    // returns the new position.
    int32_t (*firBlock)(const FirLayout& layout, int16_t* history, int32_t position,
                        int16_t* samples, int32_t count);

    // Pole-zero cascade section, pair steps over pairCount pairs in place. pair holds the twelve
    // Q13 pair values as 32-bit integers (they may exceed 16 bits), state xa, xb, ya, yb.
    void (*poleZeroPairs)(const int32_t* pair, int16_t* state, int16_t* samples, int32_t pairCount);

    // The same pair steps in extended precision: inputs = xa, xb; outputs = ya, yb with 12
    // fraction bits below the sample step. Each output is the exact sum of the Q28 input part
    // and the Q40 history part, rounded to Q12; the sample is that rounded to the nearest step
    // and limited, and a limited output enters the history limited.
    void (*poleZeroPairsExtended)(const ExtendedPairCoefficients& pair, int16_t* inputs,
                                  int64_t* outputs, int16_t* samples, int32_t pairCount);

    // Pole cascade, pair steps of every section over pairCount pairs in place (sections in
    // order, each over the whole run). pair: eight Q13 values per section; state: ya, yb per
    // section.
    void (*poleCascadePairs)(const int16_t* pair, int16_t* state, int32_t sectionCount,
                             int16_t* samples, int32_t pairCount);
};

enum class MmxKernelSet { Scalar, Sse2, Avx2 };

// The table of one variant, or null when this build or this processor cannot run it.
const MmxKernels* mmxKernelsFor(MmxKernelSet set);

// The table in use: the widest variant the processor runs, unless the environment variable
// VE32_MMX_KERNELS names a narrower one ("scalar", "sse2", "avx2") at start-up.
const MmxKernels& mmxKernels();

// Makes `set` the table in use for components built from now on and for the free routines below.
// Returns false (and changes nothing) when the variant is unavailable. Meant for tests and
// benchmarks that compare variants; the library itself never calls it.
bool selectMmxKernels(MmxKernelSet set);

// The 16-bit array routines of the packed back-end, through the table in use.
int32_t sumMagnitudes16(const int16_t* p, int32_t n);
int32_t findLoud16(const int16_t* p, int16_t threshold, int32_t n);
void storeRamp16(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n);
void mixRamp16(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n);

}  // namespace ve32
