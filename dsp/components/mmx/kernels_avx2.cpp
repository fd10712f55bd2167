// AVX2 kernels where 256-bit registers pay: a whole group of 16 samples is one register (gLow in
// the low half, gHigh in the high half), and a FIR window of 16 taps is one multiply-add. The
// recursive cascades gain nothing from wider registers and keep the SSE2 versions.
//
// Only the functions marked VE32_AVX2 are compiled for AVX2; everything else in this file, and
// every inline function it includes, stays baseline code, so nothing here can leak AVX2
// instructions into code that runs before the processor check.

#include "dsp/components/mmx/kernel_tables.h"
#include "dsp/components/mmx/scalar_arithmetic.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define VE32_AVX2 __attribute__((target("avx2")))

namespace ve32 {

// Each instruction set's functions live in their own namespace, apart from the public
// routines of the same names.
namespace {
namespace isa {

using scalar::byteToSample;
using scalar::low16;

VE32_AVX2 inline __m256i load256(const int16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
VE32_AVX2 inline void store256(int16_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

VE32_AVX2 inline __m256i loadGroup(const int16_t* src) {
    return load256(src);
}
VE32_AVX2 inline __m256i loadGroup(const uint8_t* src) {
    // Each byte in the upper half of its word, top bit inverted: (b - 128) * 256.
    const __m256i words =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
    return _mm256_xor_si256(_mm256_slli_epi16(words, 8),
                            _mm256_set1_epi16(static_cast<int16_t>(0x8000)));
}

template <bool Add, class Source>
VE32_AVX2 void rampGroups(const Source* src, int16_t gain, int16_t step, int16_t* dst,
                          int32_t grouped, int16_t* tailGain) {
    const __m128i low = _mm_set1_epi16(gain);
    const __m128i high = _mm_adds_epi16(low, _mm_set1_epi16(low16(int32_t{step} * 8)));
    __m256i gains = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
    const __m256i step16 = _mm256_set1_epi16(low16(int32_t{step} * 16));
    for (int32_t base = 0; base < grouped; base += 16) {
        const __m256i products = _mm256_mulhi_epi16(loadGroup(src + base), gains);
        __m256i y = _mm256_add_epi16(products, products);
        if constexpr (Add) y = _mm256_adds_epi16(load256(dst + base), y);
        store256(dst + base, y);
        gains = _mm256_adds_epi16(gains, step16);
    }
    *tailGain = static_cast<int16_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(gains)));
    _mm256_zeroupper();
}

template <bool Add, class Source, class Convert>
void rampPass(const Source* src, int16_t gain, int16_t step, int16_t* dst, int32_t n,
              Convert convert) {
    const int32_t grouped = n & ~15;
    int16_t tailGain = gain;
    if (grouped > 0) rampGroups<Add>(src, gain, step, dst, grouped, &tailGain);
    scalar::rampTail(src + grouped, tailGain, step, dst + grouped, n - grouped, Add, convert);
}

void storeRamp16(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    rampPass<false>(src, gain, step, dst, n, scalar::identitySample);
}
void mixRamp16(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    rampPass<true>(src, gain, step, dst, n, scalar::identitySample);
}
void storeRamp8(const uint8_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    rampPass<false>(src, gain, step, dst, n, byteToSample);
}
void mixRamp8(const uint8_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    rampPass<true>(src, gain, step, dst, n, byteToSample);
}

VE32_AVX2 void addSaturate16(const int16_t* src, int16_t* dst, int32_t n) {
    int32_t i = 0;
    for (; i + 16 <= n; i += 16)
        store256(dst + i, _mm256_adds_epi16(load256(dst + i), load256(src + i)));
    for (; i < n; ++i) dst[i] = saturate16(int32_t{dst[i]} + src[i]);
    _mm256_zeroupper();
}

// Pair sums of one window (see the SSE2 file), folded to four 32-bit lanes.
VE32_AVX2 inline __m128i firWindow(const int16_t* window, const int16_t* coefficients,
                                   int32_t length) {
    __m256i sum = _mm256_setzero_si256();
    for (int32_t k = 0; k < length; k += 16) {
        const __m256i pairs = _mm256_madd_epi16(load256(window + k), load256(coefficients + k));
        sum = _mm256_add_epi32(sum, _mm256_srai_epi32(pairs, 15));
    }
    return _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
}

VE32_AVX2 inline __m128i sumLanes4(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i ab = _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
    const __m128i cd = _mm_add_epi32(_mm_unpacklo_epi32(c, d), _mm_unpackhi_epi32(c, d));
    return _mm_add_epi32(_mm_unpacklo_epi64(ab, cd), _mm_unpackhi_epi64(ab, cd));
}

// Same schedule as the SSE2 version: four samples per step while the position does not wrap.
VE32_AVX2 int32_t firBlock(const FirLayout& layout, int16_t* history, int32_t position,
                           int16_t* samples, int32_t count) {
    const int32_t taps = layout.tapCount;
    int32_t i = 0;
    while (i < count) {
        if (position >= 3 && i + 4 <= count) {
            __m128i sums[4];
            for (int k = 0; k < 4; ++k) history[position - k] = samples[i + k];
            for (int k = 0; k < 4; ++k) {
                const int32_t p = position - k;
                const int32_t phase = p & 3;
                sums[k] = firWindow(history + p - phase, layout.phaseCoefficients[phase],
                                    layout.phaseLengths[phase]);
            }
            for (int k = 0; k < 4; ++k) history[position - k + taps] = samples[i + k];
            const __m128i total = sumLanes4(sums[0], sums[1], sums[2], sums[3]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(samples + i),
                             _mm_packs_epi32(total, total));
            i += 4;
            position -= 4;
            if (position < 0) position += taps;
            continue;
        }
        const int16_t x = samples[i];
        history[position] = x;
        history[position + taps] = x;
        const int32_t phase = position & 3;
        const __m128i sum = firWindow(history + position - phase, layout.phaseCoefficients[phase],
                                      layout.phaseLengths[phase]);
        const __m128i total = sumLanes4(sum, sum, sum, sum);
        samples[i] = static_cast<int16_t>(_mm_cvtsi128_si32(_mm_packs_epi32(total, total)));
        ++i;
        position = position == 0 ? taps - 1 : position - 1;
    }
    _mm256_zeroupper();
    return position;
}

}  // namespace isa
}  // namespace

const MmxKernels* avx2Kernels() {
    if (sse2Kernels() == nullptr) return nullptr;
    static const MmxKernels table = [] {
        MmxKernels t = *sse2Kernels();
        t.name = "avx2";
        t.storeRamp16 = isa::storeRamp16;
        t.mixRamp16 = isa::mixRamp16;
        t.storeRamp8 = isa::storeRamp8;
        t.mixRamp8 = isa::mixRamp8;
        t.addSaturate16 = isa::addSaturate16;
        t.firBlock = isa::firBlock;
        return t;
    }();
    return &table;
}

}  // namespace ve32

#else

namespace ve32 {
const MmxKernels* avx2Kernels() {
    return nullptr;
}
}  // namespace ve32

#endif
