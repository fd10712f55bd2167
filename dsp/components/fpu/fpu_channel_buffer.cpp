#include "dsp/components/fpu/fpu_channel_buffer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "dsp/components/allocation.h"
#include "dsp/components/fpu/fpu_array_routines.h"

namespace ve32 {

namespace {

// One pass of a mix over n samples. Each group of four samples shares one gain, so a gain ramp
// costs one addition per four samples; the n mod 4 samples left over step the gain one at a
// time. The running gain is kept in double and every stored value is rounded to float once.
template <bool kAdd, class Source, class Convert>
void mixPass(float* dst, const Source* src, int32_t n, double gain, double step, Convert convert) {
    const double groupStep = 4.0 * step;
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        for (int32_t j = i; j < i + 4; ++j) {
            const double product = convert(src[j]) * gain;
            if constexpr (kAdd) {
                dst[j] = static_cast<float>(static_cast<double>(dst[j]) + product);
            } else {
                dst[j] = static_cast<float>(product);
            }
        }
        gain += groupStep;
    }
    for (; i < n; ++i) {
        const double product = convert(src[i]) * gain;
        if constexpr (kAdd) {
            dst[i] = static_cast<float>(static_cast<double>(dst[i]) + product);
        } else {
            dst[i] = static_cast<float>(product);
        }
        gain += step;
    }
}

// Output conversions. A stored value is rounded to the nearest integer (ties to even) and limited
// to the 16-bit range. Limiting before rounding gives the same result, since both limits are
// integers, and keeps every conversion to int in range: NaN becomes silence and the infinities
// and huge values saturate. Adding and removing 1.5 * 2^23 rounds a float of magnitude below
// 2^22 to an integer in the current (round-to-nearest) mode, without a library call.
inline int32_t roundToPcm16(float value) {
    constexpr float kRoundingBias = 12582912.0f;
    value = (value == value) ? value : 0.0f;
    value = value < -32768.0f ? -32768.0f : value;
    value = value > 32767.0f ? 32767.0f : value;
    return static_cast<int32_t>((value + kRoundingBias) - kRoundingBias);
}

// The stereo 8-bit form adds half an 8-bit step (0x8080 = bias + 0x80) and so rounds to the
// nearest 8-bit level; limited to 16 bits first, the sum can only overflow at the top.
inline uint8_t toRoundedByte(float value) {
    const int32_t biased = (roundToPcm16(value) + 0x8080) >> 8;
    return static_cast<uint8_t>(biased > 255 ? 255 : biased);
}

// The mono 8-bit form adds only the bias (0x8000) and so truncates toward minus infinity.
inline uint8_t toTruncatedByte(float value) {
    return static_cast<uint8_t>((roundToPcm16(value) + 0x8000) >> 8);
}

inline const FpuChannelBuffer& fpuBuffer(const ChannelBuffer* buffer) {
    // Every buffer an engine hands to this one comes from the same (floating-point) Backend.
    return *static_cast<const FpuChannelBuffer*>(buffer);
}

inline FpuChannelBuffer& fpuBuffer(ChannelBuffer* buffer) {
    return *static_cast<FpuChannelBuffer*>(buffer);
}

}  // namespace

FpuChannelBuffer::FpuChannelBuffer(int32_t capacity)
    : storage(capacity >= 0 ? allocateArray<float>(static_cast<std::size_t>(capacity)) : nullptr) {}

FpuChannelBuffer::~FpuChannelBuffer() {
    delete[] storage;
}

void FpuChannelBuffer::setDelay(int32_t samples) {
    // A negative delay has no meaning; it would address storage before the array.
    delay = samples > 0 ? samples : 0;
    clearHistory();
}

template <class Source, class Convert>
void FpuChannelBuffer::mixInput(const Source* src, float gain, float gainStep, int32_t count,
                                int32_t offset, Convert convert) {
    if (offset < 0) {
        return;
    }
    zeroFillTo(offset);
    if (count <= 0) {
        return;
    }
    const float startGain = gain * inputScale;
    const float step = gainStep * inputScale;
    // Positions that already hold data in this block are added to, the rest stored; the store
    // pass restarts the four-sample grouping at its own first sample.
    const int32_t added = std::min(count, written - offset);
    float* block = storage + delay + offset;
    if (added > 0) {
        mixPass<true>(block, src, added, startGain, step, convert);
    }
    if (count > added) {
        const float tailGain =
            static_cast<float>(startGain + static_cast<double>(added) * static_cast<double>(step));
        mixPass<false>(block + added, src + added, count - added, tailGain, step, convert);
    }
    written = std::max(written, offset + count);
}

void FpuChannelBuffer::mix16(const int16_t* src, float gain, float gainStep, int32_t count,
                             int32_t offset) {
    mixInput(src, gain, gainStep, count, offset,
             [](int16_t sample) { return static_cast<double>(sample); });
}

void FpuChannelBuffer::mix8(const uint8_t* src, float gain, float gainStep, int32_t count,
                            int32_t offset) {
    mixInput(src, gain, gainStep, count, offset,
             [](uint8_t sample) { return static_cast<double>(kByteSampleTable[sample]); });
}

// Adds the other buffer's valid samples where this buffer holds valid ones (history included) and
// copies them beyond, extending this buffer's written region to cover them.
void FpuChannelBuffer::mixOther(const FpuChannelBuffer& other, float gain, bool scaled,
                                int32_t count) {
    const int32_t thisEnd = std::min(count, delay + written);
    const int32_t otherEnd = std::min(count, other.delay + other.written);
    const int32_t common = std::min(thisEnd, otherEnd);
    if (scaled) {
        mixScaled(other.storage, storage, gain, common);
    } else {
        for (int32_t p = 0; p < common; ++p) {
            storage[p] = storage[p] + other.storage[p];
        }
    }
    if (otherEnd > common) {
        if (scaled) {
            storeScaled(other.storage + common, storage + common, gain, otherEnd - common);
        } else {
            std::memmove(storage + common, other.storage + common,
                         static_cast<std::size_t>(otherEnd - common) * sizeof(float));
        }
        written = otherEnd - delay;
    }
}

void FpuChannelBuffer::mixBuffer(ChannelBuffer* other, int32_t count) {
    mixOther(fpuBuffer(other), 1.0f, false, count);
}

void FpuChannelBuffer::mixBufferScaled(ChannelBuffer* other, float gain, int32_t count) {
    mixOther(fpuBuffer(other), gain, true, count);
}

void FpuChannelBuffer::scale(float gain, int32_t count) {
    scaleSamples(storage, gain, std::min(count, delay + written));
}

void FpuChannelBuffer::writeStereo16(ChannelBuffer* right, int16_t* dst, int32_t count) {
    FpuChannelBuffer& other = fpuBuffer(right);
    zeroFillTo(count);
    other.zeroFillTo(count);
    const float* left = storage;
    const float* rightSamples = other.storage;
    for (int32_t i = 0; i < count; ++i) {
        dst[2 * i] = static_cast<int16_t>(roundToPcm16(left[i]));
        dst[2 * i + 1] = static_cast<int16_t>(roundToPcm16(rightSamples[i]));
    }
}

void FpuChannelBuffer::writeStereo8(ChannelBuffer* right, uint8_t* dst, int32_t count) {
    FpuChannelBuffer& other = fpuBuffer(right);
    zeroFillTo(count);
    other.zeroFillTo(count);
    const float* left = storage;
    const float* rightSamples = other.storage;
    for (int32_t i = 0; i < count; ++i) {
        dst[2 * i] = toRoundedByte(left[i]);
        dst[2 * i + 1] = toRoundedByte(rightSamples[i]);
    }
}

void FpuChannelBuffer::writeMono16(int16_t* dst, int32_t count) {
    zeroFillTo(count);
    for (int32_t i = 0; i < count; ++i) {
        dst[i] = static_cast<int16_t>(roundToPcm16(storage[i]));
    }
}

void FpuChannelBuffer::writeMono8(uint8_t* dst, int32_t count) {
    zeroFillTo(count);
    for (int32_t i = 0; i < count; ++i) {
        dst[i] = toTruncatedByte(storage[i]);
    }
}

void FpuChannelBuffer::advance(int32_t count) {
    if (delay != 0) {
        if (written == count) {
            // The new history is the last `delay` samples of storage[0 .. count + delay); the
            // ranges overlap when count < delay.
            std::memmove(storage, storage + count, static_cast<std::size_t>(delay) * sizeof(float));
        } else {
            std::fill(storage, storage + delay, 0.0f);
        }
    }
    written = 0;
}

int32_t FpuChannelBuffer::isQuiet() {
    // A sum that is not a number counts as quiet.
    return sumMagnitudes(storage, delay) > 1.0f ? 0 : 1;
}

void FpuChannelBuffer::clearHistory() {
    std::fill(storage, storage + delay, 0.0f);
}

}  // namespace ve32
