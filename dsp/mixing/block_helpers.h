#pragma once
// Plain array routines over sample blocks. Counts are element counts (frames for the *Frames
// helpers); pointers may be null only when the count is 0. Argument order: source first.

#include <cstdint>

namespace ve32 {

void fillSilence8(uint8_t* dst, uint32_t count);  // 0x80 is 8-bit silence
void clearSamples16(int16_t* dst, uint32_t count);
void clearSamplesFloat(float* dst, uint32_t count);

// The copies are correct whenever dst lies below src, even when the ranges overlap; use the move
// helpers for any other overlap.
void copySamples8(const uint8_t* src, uint8_t* dst, uint32_t count);
void copySamples16(const int16_t* src, int16_t* dst, uint32_t count);
void copySamplesFloat(const float* src, float* dst, uint32_t count);
void copyFrames8(const uint8_t* src, uint8_t* dst, uint32_t frames);   // stereo frames
void copyFrames16(const int16_t* src, int16_t* dst, uint32_t frames);  // stereo frames

// Correct for any overlap of src and dst.
void moveSamples8(const uint8_t* src, uint8_t* dst, uint32_t count);
void moveSamples16(const int16_t* src, int16_t* dst, uint32_t count);

// De-interleave: dstLeft[i] = src[2i], dstRight[i] = src[2i + 1].
void splitStereo8(const uint8_t* src, uint8_t* dstLeft, uint8_t* dstRight, uint32_t frames);
void splitStereo16(const int16_t* src, int16_t* dstLeft, int16_t* dstRight, uint32_t frames);

}  // namespace ve32
