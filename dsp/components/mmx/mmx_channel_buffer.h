#pragma once
// The packed back-end's channel buffer: the shared block protocol (history of `delay` samples,
// `written` count, lazy zero filling) on int16 samples at 16-bit PCM scale. Mixing gains are Q15;
// additions into the storage saturate, so a loud mix clips where it is mixed.

#include <cstdint>

#include "dsp/components/channel_buffer.h"
#include "dsp/components/mmx/kernels.h"

namespace ve32 {

class MmxChannelBuffer final : public ChannelBuffer {
  public:
    explicit MmxChannelBuffer(int32_t capacity, const MmxKernels& kernels = mmxKernels());
    ~MmxChannelBuffer() override;
    MmxChannelBuffer(const MmxChannelBuffer&) = delete;
    MmxChannelBuffer& operator=(const MmxChannelBuffer&) = delete;

    bool allocated() const { return storage_ != nullptr; }

    void setDelay(int32_t samples) override;
    void mix16(const int16_t* src, float gain, float gainStep, int32_t count,
               int32_t offset) override;
    void mix8(const uint8_t* src, float gain, float gainStep, int32_t count,
              int32_t offset) override;
    void mixBuffer(ChannelBuffer* other, int32_t count) override;
    void scale(float gain, int32_t count) override;
    void mixBufferScaled(ChannelBuffer* other, float gain, int32_t count) override;
    void writeStereo16(ChannelBuffer* right, int16_t* dst, int32_t count) override;
    void writeStereo8(ChannelBuffer* right, uint8_t* dst, int32_t count) override;
    void writeMono16(int16_t* dst, int32_t count) override;
    void writeMono8(uint8_t* dst, int32_t count) override;
    void advance(int32_t count) override;
    int32_t isQuiet() override;
    void clearHistory() override;

    // Makes block positions [0, count) valid: zero-fills those from `written` on.
    void zeroFillTo(int32_t count);

    // Raw access for tests and diagnostics; the filters of this back-end use the members.
    int16_t* storage() { return storage_; }
    const int16_t* storage() const { return storage_; }
    int32_t delay() const { return delay_; }
    int32_t written() const { return written_; }

  private:
    friend class MmxPoleZeroCascade;
    friend class MmxPoleCascade;
    friend class MmxFirFilter;
    friend class MmxTapDelay;

    template <class Source>
    void mix(const Source* src, float gain, float gainStep, int32_t count, int32_t offset);
    void mixBufferWith(MmxChannelBuffer* other, const float* gain, int32_t count);
    int32_t validEnd() const { return delay_ + written_; }

    const MmxKernels* kernels_;
    int16_t* storage_;
    int32_t delay_ = 0;
    int32_t written_ = 0;
};

// Applies a Q15 gain (as q15GainWide gives it) over n samples: the packed passes when it fits
// 16 bits, the wide passes otherwise, so no gain ever wraps around. Shared by the buffer's
// scaling operations and the tap delay.
void storeScaled16(const MmxKernels& kernels, const int16_t* src, int64_t gain, int16_t* dst,
                   int32_t n);
void mixScaled16(const MmxKernels& kernels, const int16_t* src, int64_t gain, int16_t* dst,
                 int32_t n);

}  // namespace ve32
