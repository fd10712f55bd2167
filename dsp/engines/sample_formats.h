#pragma once
// The two PCM sample widths, as the engines see them: which block helpers and which channel-buffer
// operations belong to each. Lets one engine body serve both widths.

#include <cstdint>

#include "dsp/components/channel_buffer.h"
#include "dsp/mixing/block_helpers.h"
#include "dsp/mixing/gain_ramp.h"

namespace ve32 {

struct Pcm16 {
    using Sample = int16_t;
    static constexpr Sample kSilence = 0;
    static void copyFrames(const Sample* src, Sample* dst, uint32_t frames) {
        copyFrames16(src, dst, frames);
    }
    static void copySamples(const Sample* src, Sample* dst, uint32_t count) {
        copySamples16(src, dst, count);
    }
    static void moveSamples(const Sample* src, Sample* dst, uint32_t count) {
        moveSamples16(src, dst, count);
    }
    static void splitStereo(const Sample* src, Sample* left, Sample* right, uint32_t frames) {
        splitStereo16(src, left, right, frames);
    }
    static void mixInto(GainRamp& gain, const Sample* src, ChannelBuffer* dst, int32_t count) {
        gain.mixInto16(src, dst, count, 0);
    }
    static void writeStereo(ChannelBuffer* left, ChannelBuffer* right, Sample* dst, int32_t n) {
        left->writeStereo16(right, dst, n);
    }
    static void writeMono(ChannelBuffer* buffer, Sample* dst, int32_t n) {
        buffer->writeMono16(dst, n);
    }
};

struct Pcm8 {
    using Sample = uint8_t;
    static constexpr Sample kSilence = 0x80;
    static void copyFrames(const Sample* src, Sample* dst, uint32_t frames) {
        copyFrames8(src, dst, frames);
    }
    static void copySamples(const Sample* src, Sample* dst, uint32_t count) {
        copySamples8(src, dst, count);
    }
    static void moveSamples(const Sample* src, Sample* dst, uint32_t count) {
        moveSamples8(src, dst, count);
    }
    static void splitStereo(const Sample* src, Sample* left, Sample* right, uint32_t frames) {
        splitStereo8(src, left, right, frames);
    }
    static void mixInto(GainRamp& gain, const Sample* src, ChannelBuffer* dst, int32_t count) {
        gain.mixInto8(src, dst, count, 0);
    }
    static void writeStereo(ChannelBuffer* left, ChannelBuffer* right, Sample* dst, int32_t n) {
        left->writeStereo8(right, dst, n);
    }
    static void writeMono(ChannelBuffer* buffer, Sample* dst, int32_t n) {
        buffer->writeMono8(dst, n);
    }
};

// Engines work in blocks of at most this many frames, so their buffers are allocated once.
constexpr uint32_t kBlockFrames = 1024;

}  // namespace ve32
