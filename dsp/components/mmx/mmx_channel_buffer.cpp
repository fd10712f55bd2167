#include "dsp/components/mmx/mmx_channel_buffer.h"

#include <algorithm>
#include <cstring>

#include "dsp/components/allocation.h"
#include "dsp/components/mmx/fixed_point.h"

namespace ve32 {

namespace {

constexpr int16_t kQuietThreshold = 10;

// Wide gains and steps beyond 2^31 (over 65536 times unity) act like 2^31: every sample they
// touch saturates anyway.
int64_t limitWide(int64_t value) {
    constexpr int64_t limit = int64_t{1} << 31;
    return std::clamp(value, -limit, limit);
}

bool fitsPackedGain(int64_t q15) {
    return q15 >= -32767 && q15 <= 32767;
}

// Kernel entry points for one input width.
template <class Source>
struct MixKernels;
template <>
struct MixKernels<int16_t> {
    static auto storeRamp(const MmxKernels& k) { return k.storeRamp16; }
    static auto mixRamp(const MmxKernels& k) { return k.mixRamp16; }
    static auto storeWide(const MmxKernels& k) { return k.storeWide16; }
    static auto mixWide(const MmxKernels& k) { return k.mixWide16; }
};
template <>
struct MixKernels<uint8_t> {
    static auto storeRamp(const MmxKernels& k) { return k.storeRamp8; }
    static auto mixRamp(const MmxKernels& k) { return k.mixRamp8; }
    static auto storeWide(const MmxKernels& k) { return k.storeWide8; }
    static auto mixWide(const MmxKernels& k) { return k.mixWide8; }
};

}  // namespace

void storeScaled16(const MmxKernels& kernels, const int16_t* src, int64_t gain, int16_t* dst,
                   int32_t n) {
    if (n <= 0) return;
    if (fitsPackedGain(gain)) {
        kernels.storeRamp16(src, static_cast<int16_t>(gain), 0, dst, n);
    } else {
        kernels.storeWide16(src, limitWide(gain), 0, dst, n);
    }
}

void mixScaled16(const MmxKernels& kernels, const int16_t* src, int64_t gain, int16_t* dst,
                 int32_t n) {
    if (n <= 0) return;
    if (fitsPackedGain(gain)) {
        kernels.mixRamp16(src, static_cast<int16_t>(gain), 0, dst, n);
    } else {
        kernels.mixWide16(src, limitWide(gain), 0, dst, n);
    }
}

MmxChannelBuffer::MmxChannelBuffer(int32_t capacity, const MmxKernels& kernels)
    : kernels_(&kernels),
      storage_(allocateArray<int16_t>(static_cast<std::size_t>(std::max(capacity, 1)))) {}

MmxChannelBuffer::~MmxChannelBuffer() {
    delete[] storage_;
}

void MmxChannelBuffer::zeroFillTo(int32_t count) {
    if (count <= written_) return;
    std::memset(storage_ + delay_ + written_, 0,
                static_cast<std::size_t>(count - written_) * sizeof(int16_t));
    written_ = count;
}

void MmxChannelBuffer::setDelay(int32_t samples) {
    delay_ = samples;
    clearHistory();
}

void MmxChannelBuffer::clearHistory() {
    if (delay_ > 0) std::memset(storage_, 0, static_cast<std::size_t>(delay_) * sizeof(int16_t));
}

// The first `written - offset` target positions already hold data and are added to; the rest are
// stored, the stored part restarting the ramp at gain + a * step. Gains that the 16-bit format
// holds along the whole ramp take the packed passes, to the bit; any other gain (beyond +-1.0,
// or a step that would carry the ramp beyond) takes the wide passes, which apply it exactly with
// saturation instead of letting it wrap around.
template <class Source>
void MmxChannelBuffer::mix(const Source* src, float gain, float gainStep, int32_t count,
                           int32_t offset) {
    zeroFillTo(offset);
    const int32_t added = std::clamp(written_ - offset, 0, std::max(count, 0));
    const int32_t stored = count - added;
    int16_t* dst = storage_ + delay_ + offset;
    const int64_t g = q15GainWide(gain);
    const int64_t s = q15GainWide(gainStep);
    const int64_t lastGain = g + static_cast<int64_t>(std::max(count - 1, 0)) * s;
    if (fitsPackedGain(g) && s >= -2047 && s <= 2047 && fitsPackedGain(lastGain)) {
        const auto g16 = static_cast<int16_t>(g);
        const auto s16 = static_cast<int16_t>(s);
        if (added > 0) MixKernels<Source>::mixRamp (*kernels_)(src, g16, s16, dst, added);
        if (stored > 0) {
            const auto restart = static_cast<int16_t>(g + added * s);
            MixKernels<Source>::storeRamp (*kernels_)(src + added, restart, s16, dst + added,
                                                      stored);
        }
    } else {
        const int64_t wideGain = limitWide(g);
        const int64_t wideStep = limitWide(s);
        if (added > 0) MixKernels<Source>::mixWide (*kernels_)(src, wideGain, wideStep, dst, added);
        if (stored > 0) {
            MixKernels<Source>::storeWide (*kernels_)(
                src + added, limitWide(wideGain + added * wideStep), wideStep, dst + added, stored);
        }
    }
    written_ = std::max(written_, offset + count);
}

void MmxChannelBuffer::mix16(const int16_t* src, float gain, float gainStep, int32_t count,
                             int32_t offset) {
    mix(src, gain, gainStep, count, offset);
}

void MmxChannelBuffer::mix8(const uint8_t* src, float gain, float gainStep, int32_t count,
                            int32_t offset) {
    mix(src, gain, gainStep, count, offset);
}

// Adds the other buffer where this one holds data and copies it beyond (scaled by *gain when a
// gain is given); `written` then covers what was copied.
void MmxChannelBuffer::mixBufferWith(MmxChannelBuffer* other, const float* gain, int32_t count) {
    const int32_t mineEnd = std::min(count, validEnd());
    const int32_t otherEnd = std::min(count, other->validEnd());
    const int32_t common = std::max(std::min(mineEnd, otherEnd), 0);
    const int16_t* src = other->storage_;
    if (gain == nullptr) {
        kernels_->addSaturate16(src, storage_, common);
        if (otherEnd > common) {
            std::memmove(storage_ + common, src + common,
                         static_cast<std::size_t>(otherEnd - common) * sizeof(int16_t));
        }
    } else {
        const int64_t g = q15GainWide(*gain);
        mixScaled16(*kernels_, src, g, storage_, common);
        storeScaled16(*kernels_, src + common, g, storage_ + common, otherEnd - common);
    }
    if (otherEnd > common) written_ = otherEnd - delay_;
}

void MmxChannelBuffer::mixBuffer(ChannelBuffer* other, int32_t count) {
    mixBufferWith(static_cast<MmxChannelBuffer*>(other), nullptr, count);
}

void MmxChannelBuffer::mixBufferScaled(ChannelBuffer* other, float gain, int32_t count) {
    mixBufferWith(static_cast<MmxChannelBuffer*>(other), &gain, count);
}

void MmxChannelBuffer::scale(float gain, int32_t count) {
    const int32_t end = std::min(count, validEnd());
    if (end <= 0) return;
    const int64_t g = q15GainWide(gain);
    if (fitsPackedGain(g)) {
        kernels_->scale16(storage_, static_cast<int16_t>(g), end);
    } else {
        kernels_->storeWide16(storage_, limitWide(g), 0, storage_, end);
    }
}

void MmxChannelBuffer::writeStereo16(ChannelBuffer* right, int16_t* dst, int32_t count) {
    auto* other = static_cast<MmxChannelBuffer*>(right);
    zeroFillTo(count);
    other->zeroFillTo(count);
    if (count > 0) kernels_->interleave16(storage_, other->storage_, dst, count);
}

void MmxChannelBuffer::writeStereo8(ChannelBuffer* right, uint8_t* dst, int32_t count) {
    auto* other = static_cast<MmxChannelBuffer*>(right);
    zeroFillTo(count);
    other->zeroFillTo(count);
    if (count > 0) kernels_->interleave8(storage_, other->storage_, dst, count);
}

void MmxChannelBuffer::writeMono16(int16_t* dst, int32_t count) {
    zeroFillTo(count);
    if (count > 0) std::memcpy(dst, storage_, static_cast<std::size_t>(count) * sizeof(int16_t));
}

void MmxChannelBuffer::writeMono8(uint8_t* dst, int32_t count) {
    zeroFillTo(count);
    if (count > 0) kernels_->toBytes8(storage_, dst, count);
}

void MmxChannelBuffer::advance(int32_t count) {
    if (delay_ > 0) {
        if (written_ == count) {
            // The ranges overlap when count < delay; the destination lies below the source.
            std::memmove(storage_, storage_ + count,
                         static_cast<std::size_t>(delay_) * sizeof(int16_t));
        } else {
            clearHistory();
        }
    }
    written_ = 0;
}

int32_t MmxChannelBuffer::isQuiet() {
    return kernels_->findLoud16(storage_, kQuietThreshold, delay_) == -1 ? 1 : 0;
}

}  // namespace ve32
