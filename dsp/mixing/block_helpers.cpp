#include "dsp/mixing/block_helpers.h"

#include <cstring>

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

void copySamples8(const uint8_t* src, uint8_t* dst, uint32_t count) { moveBytes(src, dst, count); }
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

void moveSamples8(const uint8_t* src, uint8_t* dst, uint32_t count) { moveBytes(src, dst, count); }
void moveSamples16(const int16_t* src, int16_t* dst, uint32_t count) {
    moveBytes(src, dst, std::size_t{count} * sizeof(int16_t));
}

void splitStereo8(const uint8_t* src, uint8_t* dstLeft, uint8_t* dstRight, uint32_t frames) {
    for (uint32_t i = 0; i < frames; ++i) {
        dstLeft[i] = src[2 * i];
        dstRight[i] = src[2 * i + 1];
    }
}
void splitStereo16(const int16_t* src, int16_t* dstLeft, int16_t* dstRight, uint32_t frames) {
    for (uint32_t i = 0; i < frames; ++i) {
        dstLeft[i] = src[2 * i];
        dstRight[i] = src[2 * i + 1];
    }
}

}  // namespace ve32
