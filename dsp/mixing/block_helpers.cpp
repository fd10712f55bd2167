#include "dsp/mixing/block_helpers.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ve32 {
namespace {

// memmove gives the ascending copy's result whenever dst lies below src, and the right result for
// every other overlap too; a count of 0 must not hand null pointers to the C library.
inline void moveBytes(const void* src, void* dst, std::size_t bytes) {
    if (bytes != 0) std::memmove(dst, src, bytes);
}

}  // namespace

void fillSilence8(uint8_t* dst, uint32_t count) {
    if (count != 0) std::memset(dst, 0x80, count);
}
void clearSamples16(int16_t* dst, uint32_t count) {
    if (count != 0) std::memset(dst, 0, count * sizeof(int16_t));
}
void clearSamplesFloat(float* dst, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) dst[i] = 0.0f;
}

void copySamples8(const uint8_t* src, uint8_t* dst, uint32_t count) {
    moveBytes(src, dst, count);
}
void copySamples16(const int16_t* src, int16_t* dst, uint32_t count) {
    moveBytes(src, dst, std::size_t{count} * sizeof(int16_t));
}
void copySamplesFloat(const float* src, float* dst, uint32_t count) {
    moveBytes(src, dst, std::size_t{count} * sizeof(float));
}
void copyFrames8(const uint8_t* src, uint8_t* dst, uint32_t frames) {
    moveBytes(src, dst, std::size_t{frames} * 2);
}
void copyFrames16(const int16_t* src, int16_t* dst, uint32_t frames) {
    moveBytes(src, dst, std::size_t{frames} * 2 * sizeof(int16_t));
}

void moveSamples8(const uint8_t* src, uint8_t* dst, uint32_t count) {
    moveBytes(src, dst, count);
}
void moveSamples16(const int16_t* src, int16_t* dst, uint32_t count) {
    moveBytes(src, dst, std::size_t{count} * sizeof(int16_t));
}

// De-interleaving runs once per block on the expander's input; with SSE2 (the x86-64 baseline)
// eight or sixteen frames are split per step, the rest one by one.
void splitStereo8(const uint8_t* src, uint8_t* dstLeft, uint8_t* dstRight, uint32_t frames) {
    uint32_t i = 0;
#if defined(__SSE2__)
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    for (; i + 16 <= frames; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i + 16));
        const __m128i left =
            _mm_packus_epi16(_mm_and_si128(a, lowBytes), _mm_and_si128(b, lowBytes));
        const __m128i right = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dstLeft + i), left);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dstRight + i), right);
    }
#endif
    for (; i < frames; ++i) {
        dstLeft[i] = src[2 * i];
        dstRight[i] = src[2 * i + 1];
    }
}

void splitStereo16(const int16_t* src, int16_t* dstLeft, int16_t* dstRight, uint32_t frames) {
    uint32_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= frames; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i + 8));
        // Each 32-bit lane holds one frame: the low half is left, the high half right. Both are
        // sign-extended to 32 bits, so packing them back to 16 bits never saturates.
        const __m128i left = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16),
                                             _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
        const __m128i right = _mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(b, 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dstLeft + i), left);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dstRight + i), right);
    }
#endif
    for (; i < frames; ++i) {
        dstLeft[i] = src[2 * i];
        dstRight[i] = src[2 * i + 1];
    }
}

}  // namespace ve32
