// SSE2 kernels, the x86-64 baseline. 128-bit registers hold eight 16-bit lanes, so a group of 16
// samples is two registers: the low half runs at gLow and the high half at gHigh. SSE2 registers
// are not aliased to the x87 stack, so no EMMS is needed before floating-point code.

#include "dsp/components/mmx/kernel_tables.h"
#include "dsp/components/mmx/scalar_arithmetic.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace ve32 {

// Each instruction set's functions live in their own namespace, apart from the public
// routines of the same names.
namespace {
namespace isa {

using scalar::asSigned;
using scalar::byteToSample;
using scalar::low16;
using scalar::product32;

inline __m128i load(const int16_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store(int16_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Sixteen input samples as two registers of 16-bit samples.
struct Sixteen {
    __m128i low, high;
};
inline Sixteen loadSixteen(const int16_t* src) {
    return {load(src), load(src + 8)};
}
inline Sixteen loadSixteen(const uint8_t* src) {
    // Interleaving with zero bytes puts each byte in the upper half of a word; the top bit is
    // then inverted, giving (b - 128) * 256.
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
    return {_mm_xor_si128(_mm_unpacklo_epi8(zero, bytes), bias),
            _mm_xor_si128(_mm_unpackhi_epi8(zero, bytes), bias)};
}

// 2 * highProduct, wrapping in 16 bits like the scalar form.
inline __m128i groupProduct(__m128i x, __m128i gain) {
    const __m128i high = _mm_mulhi_epi16(x, gain);
    return _mm_add_epi16(high, high);
}

template <bool Add, class Source, class Convert>
void rampPass(const Source* src, int16_t gain, int16_t step, int16_t* dst, int32_t n,
              Convert convert) {
    const int32_t grouped = n & ~15;
    __m128i gLow = _mm_set1_epi16(gain);
    __m128i gHigh = _mm_adds_epi16(gLow, _mm_set1_epi16(low16(int32_t{step} * 8)));
    const __m128i step16 = _mm_set1_epi16(low16(int32_t{step} * 16));
    for (int32_t base = 0; base < grouped; base += 16) {
        const Sixteen x = loadSixteen(src + base);
        __m128i yLow = groupProduct(x.low, gLow);
        __m128i yHigh = groupProduct(x.high, gHigh);
        if constexpr (Add) {
            yLow = _mm_adds_epi16(load(dst + base), yLow);
            yHigh = _mm_adds_epi16(load(dst + base + 8), yHigh);
        }
        store(dst + base, yLow);
        store(dst + base + 8, yHigh);
        gLow = _mm_adds_epi16(gLow, step16);
        gHigh = _mm_adds_epi16(gHigh, step16);
    }
    const int16_t tailGain = static_cast<int16_t>(_mm_cvtsi128_si32(gLow));
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

// Wide gains. A gain G (|G| < 2^30) splits into G = Gh * 32768 + Gl with 0 <= Gl < 32768, so
// floor(x * G / 32768) = x * Gh + floor(x * Gl / 32768) exactly, and both products fit 32 bits.
// Each 32-bit lane holds one sample in its low half with a zero upper half, which makes the
// multiply-add a plain 16 x 16 -> 32 multiply by the low half of the gain lane.
inline __m128i wideProducts(__m128i samplesInLowHalves, __m128i gains) {
    const __m128i gainHigh = _mm_srai_epi32(gains, 15);
    const __m128i gainLow = _mm_and_si128(gains, _mm_set1_epi32(0x7FFF));
    const __m128i high = _mm_madd_epi16(samplesInLowHalves, gainHigh);
    const __m128i low = _mm_srai_epi32(_mm_madd_epi16(samplesInLowHalves, gainLow), 15);
    return _mm_add_epi32(high, low);
}

template <bool Add, class Source, class Convert>
void widePass(const Source* src, int64_t gain, int64_t step, int16_t* dst, int32_t n,
              Convert convert) {
    // The lanes step by whole int32 additions; that is exact only while no gain of the pass
    // reaches the limit. Otherwise (gains far beyond any sensible setting) the scalar form runs.
    constexpr int64_t limit = (int64_t{1} << 30) - 1;
    const int64_t last = gain + static_cast<int64_t>(n > 0 ? n - 1 : 0) * step;
    const bool lanesExact = gain <= limit && gain >= -limit && last <= limit && last >= -limit &&
                            step <= (int64_t{1} << 26) && step >= -(int64_t{1} << 26);
    int32_t done = 0;
    if (lanesExact) {
        const int32_t g = static_cast<int32_t>(gain);
        const int32_t s = static_cast<int32_t>(step);
        __m128i gains0 = _mm_setr_epi32(g, g + s, g + 2 * s, g + 3 * s);
        __m128i gains1 = _mm_add_epi32(gains0, _mm_set1_epi32(4 * s));
        const __m128i advance = _mm_set1_epi32(8 * s);
        const __m128i zero = _mm_setzero_si128();
        const int32_t grouped = n & ~15;
        for (; done < grouped; done += 16) {
            const Sixteen x = loadSixteen(src + done);
            const __m128i halves[2] = {x.low, x.high};
            for (int h = 0; h < 2; ++h) {
                const __m128i v0 = wideProducts(_mm_unpacklo_epi16(halves[h], zero), gains0);
                const __m128i v1 = wideProducts(_mm_unpackhi_epi16(halves[h], zero), gains1);
                __m128i y;
                if constexpr (Add) {
                    const __m128i d = load(dst + done + 8 * h);
                    const __m128i d0 = _mm_srai_epi32(_mm_unpacklo_epi16(d, d), 16);
                    const __m128i d1 = _mm_srai_epi32(_mm_unpackhi_epi16(d, d), 16);
                    y = _mm_packs_epi32(_mm_add_epi32(v0, d0), _mm_add_epi32(v1, d1));
                } else {
                    y = _mm_packs_epi32(v0, v1);
                }
                store(dst + done + 8 * h, y);
                gains0 = _mm_add_epi32(gains0, advance);
                gains1 = _mm_add_epi32(gains1, advance);
            }
        }
    }
    scalar::wideTail(src, gain, step, dst, done, n, Add, convert);
}

void storeWide16(const int16_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n) {
    widePass<false>(src, gain, step, dst, n, scalar::identitySample);
}
void mixWide16(const int16_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n) {
    widePass<true>(src, gain, step, dst, n, scalar::identitySample);
}
void storeWide8(const uint8_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n) {
    widePass<false>(src, gain, step, dst, n, byteToSample);
}
void mixWide8(const uint8_t* src, int64_t gain, int64_t step, int16_t* dst, int32_t n) {
    widePass<true>(src, gain, step, dst, n, byteToSample);
}

void scale16(int16_t* p, int16_t gain, int32_t n) {
    const int32_t grouped = n & ~15;
    const __m128i g = _mm_set1_epi16(gain);
    for (int32_t i = 0; i < grouped; i += 8) store(p + i, groupProduct(load(p + i), g));
    for (int32_t i = grouped; i < n; ++i) p[i] = scalar::singleProduct(p[i], gain);
}

void addSaturate16(const int16_t* src, int16_t* dst, int32_t n) {
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        store(dst + i, _mm_adds_epi16(load(dst + i), load(src + i)));
        store(dst + i + 8, _mm_adds_epi16(load(dst + i + 8), load(src + i + 8)));
    }
    for (; i < n; ++i) dst[i] = scalar::addSaturate(dst[i], src[i]);
}

void interleave16(const int16_t* left, const int16_t* right, int16_t* dst, int32_t n) {
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i l = load(left + i);
        const __m128i r = load(right + i);
        store(dst + 2 * i, _mm_unpacklo_epi16(l, r));
        store(dst + 2 * i + 8, _mm_unpackhi_epi16(l, r));
    }
    for (; i < n; ++i) {
        dst[2 * i] = left[i];
        dst[2 * i + 1] = right[i];
    }
}

// floor(x / 256) + 128 for eight samples, one per 16-bit lane (values 0..255).
inline __m128i bytesInWords(__m128i x) {
    return _mm_xor_si128(_mm_srli_epi16(x, 8), _mm_set1_epi16(0x80));
}

void interleave8(const int16_t* left, const int16_t* right, uint8_t* dst, int32_t n) {
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i l = bytesInWords(load(left + i));
        const __m128i r = bytesInWords(load(right + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i),
                         _mm_or_si128(l, _mm_slli_epi16(r, 8)));
    }
    for (; i < n; ++i) {
        dst[2 * i] = scalar::sampleToByte(left[i]);
        dst[2 * i + 1] = scalar::sampleToByte(right[i]);
    }
}

void toBytes8(const int16_t* src, uint8_t* dst, int32_t n) {
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes =
            _mm_packus_epi16(bytesInWords(load(src + i)), bytesInWords(load(src + i + 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), bytes);
    }
    for (; i < n; ++i) dst[i] = scalar::sampleToByte(src[i]);
}

int32_t sumMagnitudes16(const int16_t* p, int32_t n) {
    // |x| via (x ^ sign) - sign, read as unsigned 16-bit (so |-32768| = 32768), widened to 32.
    __m128i sums = _mm_setzero_si128();
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i x = load(p + i);
        const __m128i sign = _mm_srai_epi16(x, 15);
        const __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(x, sign), sign);
        sums = _mm_add_epi32(sums, _mm_unpacklo_epi16(magnitude, zero));
        sums = _mm_add_epi32(sums, _mm_unpackhi_epi16(magnitude, zero));
    }
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sums);
    uint32_t sum = lanes[0] + lanes[1] + lanes[2] + lanes[3];
    for (; i < n; ++i) sum += static_cast<uint32_t>(p[i] < 0 ? -p[i] : p[i]);
    return asSigned(sum);
}

int32_t findLoud16(const int16_t* p, int16_t threshold, int32_t n) {
    const int16_t negative = low16(-int32_t{threshold});
    const __m128i t = _mm_set1_epi16(threshold);
    const __m128i neg = _mm_set1_epi16(negative);
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i x = load(p + i);
        // x >= t is !(t > x); x <= neg is !(x > neg). A lane is quiet when both fail.
        const __m128i quiet = _mm_and_si128(_mm_cmpgt_epi16(t, x), _mm_cmpgt_epi16(x, neg));
        const int loudMask = ~_mm_movemask_epi8(quiet) & 0xFFFF;
        if (loudMask != 0) return i + __builtin_ctz(static_cast<unsigned>(loudMask)) / 2;
    }
    for (; i < n; ++i) {
        if (p[i] >= threshold || p[i] <= negative) return i;
    }
    return -1;
}

// The pair sums of one window: madd forms w[2j] a[2j] + w[2j+1] a[2j+1] in 32 bits, each is
// shifted by 15 and the four lanes accumulate.
inline __m128i firWindow(const int16_t* window, const int16_t* coefficients, int32_t length) {
    __m128i sum = _mm_setzero_si128();
    for (int32_t k = 0; k < length; k += 8) {
        const __m128i pairs = _mm_madd_epi16(load(window + k), load(coefficients + k));
        sum = _mm_add_epi32(sum, _mm_srai_epi32(pairs, 15));
    }
    return sum;
}

// Four lane sums of four registers, as the four lanes of one register.
inline __m128i sumLanes4(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i ab = _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
    const __m128i cd = _mm_add_epi32(_mm_unpacklo_epi32(c, d), _mm_unpackhi_epi32(c, d));
    return _mm_add_epi32(_mm_unpacklo_epi64(ab, cd), _mm_unpackhi_epi64(ab, cd));
}

// Four samples at a time while the position does not wrap: the newest four inputs go to their
// lower history copies first, the four windows are summed, and only then do the inputs go to
// their upper copies, which the older windows of the four still read with their previous values.
// A window's entries below its position meet zero coefficients, so the early lower copies do not
// change any sum.
int32_t firBlock(const FirLayout& layout, int16_t* history, int32_t position, int16_t* samples,
                 int32_t count) {
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
    return position;
}

// Pole-zero pairs. The part of each output that depends on the inputs alone,
// P0 x0 + P1 x1 + P4 xa + P5 xb (and P2, P3, P6, P7 for the second output), is formed four pairs
// at a time ahead of the recursion; the recursion then adds the output-history part. All sums
// are modulo 2^32, so splitting them changes nothing. A coefficient that needs more than 16 bits
// is split into c = high * 32768 + low, both 16-bit.
struct PairCoefficients16 {
    __m128i low, high;  // lanes (c_even, c_odd) repeated; high all zero when every c fits
};

inline PairCoefficients16 splitPair(int32_t even, int32_t odd) {
    const auto lowPart = [](int32_t c) { return static_cast<int16_t>(c & 0x7FFF); };
    const auto highPart = [](int32_t c) { return static_cast<int16_t>(c >> 15); };
    const auto fits = [](int32_t c) { return c >= -32768 && c <= 32767; };
    if (fits(even) && fits(odd)) {
        return {_mm_set1_epi32(static_cast<int32_t>(
                    static_cast<uint16_t>(even) |
                    (static_cast<uint32_t>(static_cast<uint16_t>(odd)) << 16))),
                _mm_setzero_si128()};
    }
    const auto packTwo = [](int16_t a, int16_t b) {
        return _mm_set1_epi32(static_cast<int32_t>(
            static_cast<uint16_t>(a) | (static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16)));
    };
    return {packTwo(lowPart(even), lowPart(odd)), packTwo(highPart(even), highPart(odd))};
}

template <bool Wide>
inline __m128i pairProducts(__m128i pairs, const PairCoefficients16& c) {
    __m128i sum = _mm_madd_epi16(pairs, c.low);
    if constexpr (Wide) sum = _mm_add_epi32(sum, _mm_slli_epi32(_mm_madd_epi16(pairs, c.high), 15));
    return sum;
}

template <bool Wide>
void poleZeroInputParts(const int32_t* pair, int16_t xa, int16_t xb, const int16_t* samples,
                        int32_t pairCount, int32_t* parts) {
    const PairCoefficients16 now0 = splitPair(pair[0], pair[1]);
    const PairCoefficients16 now1 = splitPair(pair[2], pair[3]);
    const PairCoefficients16 before0 = splitPair(pair[4], pair[5]);
    const PairCoefficients16 before1 = splitPair(pair[6], pair[7]);
    // `previous` holds the four pairs before the current four; its last pair starts as (xa, xb).
    __m128i previous = _mm_slli_si128(
        _mm_cvtsi32_si128(static_cast<int32_t>(
            static_cast<uint16_t>(xa) | (static_cast<uint32_t>(static_cast<uint16_t>(xb)) << 16))),
        12);
    int32_t j = 0;
    for (; j + 4 <= pairCount; j += 4) {
        const __m128i current = load(samples + 2 * j);
        const __m128i shifted =
            _mm_or_si128(_mm_slli_si128(current, 4), _mm_srli_si128(previous, 12));
        const __m128i first =
            _mm_add_epi32(pairProducts<Wide>(current, now0), pairProducts<Wide>(shifted, before0));
        const __m128i second =
            _mm_add_epi32(pairProducts<Wide>(current, now1), pairProducts<Wide>(shifted, before1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(parts + 2 * j),
                         _mm_unpacklo_epi32(first, second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(parts + 2 * j + 4),
                         _mm_unpackhi_epi32(first, second));
        previous = current;
    }
    if (j > 0) {
        xa = samples[2 * j - 2];
        xb = samples[2 * j - 1];
    }
    for (; j < pairCount; ++j) {
        const int16_t x0 = samples[2 * j];
        const int16_t x1 = samples[2 * j + 1];
        parts[2 * j] = asSigned(product32(pair[0], x0) + product32(pair[1], x1) +
                                product32(pair[4], xa) + product32(pair[5], xb));
        parts[2 * j + 1] = asSigned(product32(pair[2], x0) + product32(pair[3], x1) +
                                    product32(pair[6], xa) + product32(pair[7], xb));
        xa = x0;
        xb = x1;
    }
}

void poleZeroPairs(const int32_t* pair, int16_t* state, int16_t* samples, int32_t pairCount) {
    bool wide = false;
    for (int k = 0; k < 8; ++k) wide = wide || pair[k] < -32768 || pair[k] > 32767;
    constexpr int32_t chunkPairs = 256;
    int32_t parts[2 * chunkPairs];
    int32_t ya = state[2], yb = state[3];
    for (int32_t start = 0; start < pairCount; start += chunkPairs) {
        const int32_t pairs = pairCount - start < chunkPairs ? pairCount - start : chunkPairs;
        int16_t* chunk = samples + 2 * start;
        if (wide) {
            poleZeroInputParts<true>(pair, state[0], state[1], chunk, pairs, parts);
        } else {
            poleZeroInputParts<false>(pair, state[0], state[1], chunk, pairs, parts);
        }
        // The next chunk's input history is this chunk's last input pair, read before the
        // recursion overwrites it.
        state[0] = chunk[2 * pairs - 2];
        state[1] = chunk[2 * pairs - 1];
        // The recursion is the critical path: each pair waits for the previous outputs. The
        // input part is added to one product while the other is formed, and the clamp is a
        // branch that is almost never taken, so it stays off the path.
        for (int32_t j = 0; j < pairs; ++j) {
            const uint32_t t0 = static_cast<uint32_t>(parts[2 * j]) + product32(pair[9], yb);
            const uint32_t t1 = static_cast<uint32_t>(parts[2 * j + 1]) + product32(pair[11], yb);
            int32_t y0 = asSigned(t0 + product32(pair[8], ya)) >> 13;
            int32_t y1 = asSigned(t1 + product32(pair[10], ya)) >> 13;
            if (__builtin_expect(static_cast<uint32_t>(y0 + 32768) > 65535u, 0))
                y0 = saturate16(y0);
            if (__builtin_expect(static_cast<uint32_t>(y1 + 32768) > 65535u, 0))
                y1 = saturate16(y1);
            chunk[2 * j] = static_cast<int16_t>(y0);
            chunk[2 * j + 1] = static_cast<int16_t>(y1);
            ya = y0;
            yb = y1;
        }
    }
    state[2] = static_cast<int16_t>(ya);
    state[3] = static_cast<int16_t>(yb);
}

// Pole cascade pairs, up to four sections at once as a wavefront: at step t section k works on
// pair t - k, taking as input the pair that section k - 1 produced one step earlier, so the
// sections' recursions run side by side. Each section keeps its history pair (ya, yb) repeated in
// all four 32-bit lanes of a register; one multiply-add with the section's (P4, P5, P6, P7) gives
// both outputs' history sums, one with (P0, P1, P2, P3) on the input pair both input sums, and the
// saturating pack of the shifted sums yields the new pair repeated again. No shuffle lies on the
// recursion, which is one multiply-add, a shift, an add and a pack long.
struct PoleSection {
    __m128i feedForward;  // P0 P1 P2 P3, twice
    __m128i feedBack;     // P4 P5 P6 P7, twice
    __m128i history;      // (ya, yb) in every 32-bit lane
};

inline int32_t packPair(int16_t first, int16_t second) {
    return static_cast<int32_t>(static_cast<uint16_t>(first) |
                                (static_cast<uint32_t>(static_cast<uint16_t>(second)) << 16));
}

inline __m128i poleStep(const PoleSection& section, __m128i input) {
    const __m128i fromInput = _mm_srai_epi32(_mm_madd_epi16(input, section.feedForward), 13);
    const __m128i fromHistory =
        _mm_srai_epi32(_mm_madd_epi16(section.history, section.feedBack), 13);
    const __m128i sums = _mm_add_epi32(fromInput, fromHistory);  // s0, s1, s0, s1
    return _mm_packs_epi32(sums, sums);
}

inline __m128i pairAt(const int16_t* samples, int32_t t) {
    int32_t word;
    __builtin_memcpy(&word, samples + 2 * t, sizeof word);
    return _mm_set1_epi32(word);
}

// One step of the sections that are busy at step t (0 <= t - k < pairCount), for filling and
// draining the wavefront.
template <int Sections>
void poleStepSome(PoleSection* sections, const int16_t* samples, int32_t t, int32_t pairCount) {
    for (int k = Sections - 1; k >= 0; --k) {
        if (k > t || t - k >= pairCount) continue;
        const __m128i input = k == 0 ? pairAt(samples, t) : sections[k - 1].history;
        sections[k].history = poleStep(sections[k], input);
    }
}

template <int Sections>
void poleWavefront(const int16_t* pair, int16_t* state, int16_t* samples, int32_t pairCount) {
    PoleSection sections[4] = {};
    for (int k = 0; k < Sections; ++k) {
        const int16_t* p = pair + 8 * k;
        sections[k].feedForward = _mm_set1_epi64x(static_cast<int64_t>(
            static_cast<uint32_t>(packPair(p[0], p[1])) |
            (static_cast<uint64_t>(static_cast<uint32_t>(packPair(p[2], p[3]))) << 32)));
        sections[k].feedBack = _mm_set1_epi64x(static_cast<int64_t>(
            static_cast<uint32_t>(packPair(p[4], p[5])) |
            (static_cast<uint64_t>(static_cast<uint32_t>(packPair(p[6], p[7]))) << 32)));
        sections[k].history = _mm_set1_epi32(packPair(state[2 * k], state[2 * k + 1]));
    }
    const int32_t steps = pairCount + Sections - 1;
    int32_t t = 0;
    for (; t < steps && t < Sections - 1; ++t)
        poleStepSome<Sections>(sections, samples, t, pairCount);

    // Every section busy. The sections live in registers here; they are updated from the last
    // to the first, so each still reads its predecessor's output of the previous step.
    if (t < pairCount) {
        const PoleSection s0 = sections[0], s1 = sections[1], s2 = sections[2], s3 = sections[3];
        __m128i h0 = s0.history, h1 = s1.history, h2 = s2.history, h3 = s3.history;
        for (; t < pairCount; ++t) {
            if constexpr (Sections > 3) h3 = poleStep({s3.feedForward, s3.feedBack, h3}, h2);
            if constexpr (Sections > 2) h2 = poleStep({s2.feedForward, s2.feedBack, h2}, h1);
            if constexpr (Sections > 1) h1 = poleStep({s1.feedForward, s1.feedBack, h1}, h0);
            h0 = poleStep({s0.feedForward, s0.feedBack, h0}, pairAt(samples, t));
            const __m128i last = Sections == 1 ? h0 : Sections == 2 ? h1 : Sections == 3 ? h2 : h3;
            const int32_t word = _mm_cvtsi128_si32(last);
            __builtin_memcpy(samples + 2 * (t - (Sections - 1)), &word, sizeof word);
        }
        sections[0].history = h0;
        sections[1].history = h1;
        sections[2].history = h2;
        sections[3].history = h3;
    }

    for (; t < steps; ++t) {
        poleStepSome<Sections>(sections, samples, t, pairCount);
        if (t >= Sections - 1) {
            const int32_t word = _mm_cvtsi128_si32(sections[Sections - 1].history);
            __builtin_memcpy(samples + 2 * (t - (Sections - 1)), &word, sizeof word);
        }
    }
    for (int k = 0; k < Sections; ++k) {
        const int32_t word = _mm_cvtsi128_si32(sections[k].history);
        state[2 * k] = static_cast<int16_t>(word & 0xFFFF);
        state[2 * k + 1] = static_cast<int16_t>(word >> 16);
    }
}

void poleCascadePairs(const int16_t* pair, int16_t* state, int32_t sectionCount, int16_t* samples,
                      int32_t pairCount) {
    if (pairCount <= 0) return;
    for (int32_t first = 0; first < sectionCount; first += 4) {
        const int16_t* p = pair + 8 * first;
        int16_t* s = state + 2 * first;
        switch (sectionCount - first) {
            case 1:
                poleWavefront<1>(p, s, samples, pairCount);
                break;
            case 2:
                poleWavefront<2>(p, s, samples, pairCount);
                break;
            case 3:
                poleWavefront<3>(p, s, samples, pairCount);
                break;
            default:
                poleWavefront<4>(p, s, samples, pairCount);
                break;
        }
    }
}

}  // namespace isa
}  // namespace

namespace {

const MmxKernels kSse2 = {
    "sse2",
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

const MmxKernels* sse2Kernels() {
    return &kSse2;
}

}  // namespace ve32

#else

namespace ve32 {
const MmxKernels* sse2Kernels() {
    return nullptr;
}
}  // namespace ve32

#endif
