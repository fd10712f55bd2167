#pragma once
// The floating-point channel buffer. Storage holds `delay` history samples followed by the current
// block, as floats at 16-bit PCM scale. The floating-point filters and the tap delay work on the
// fields directly (in place, without the virtual interface), so the fields are public.

#include <cstdint>

#include "dsp/components/channel_buffer.h"

namespace ve32 {

class FpuChannelBuffer final : public ChannelBuffer {
  public:
    // Allocates `capacity` floats, left uninitialised: a block is never cleared in advance.
    // A negative capacity obtains nothing, so allocated() is false.
    explicit FpuChannelBuffer(int32_t capacity);
    ~FpuChannelBuffer() override;
    FpuChannelBuffer(const FpuChannelBuffer&) = delete;
    FpuChannelBuffer& operator=(const FpuChannelBuffer&) = delete;

    bool allocated() const { return storage != nullptr; }

    // Makes block positions [0, count) valid: the part beyond `written` becomes silence.
    void zeroFillTo(int32_t count) {
        if (count > written) {
            float* block = storage + delay;
            for (int32_t i = written; i < count; ++i) {
                block[i] = 0.0f;
            }
            written = count;
        }
    }

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

    // storage[0 .. delay) is the history, storage[delay + i] block sample i.
    float* storage;
    // Multiplies the gain and gain step of mix16/mix8; the floating-point cascades fold their
    // gain into it (foldGain) so that it is applied while mixing instead of in a separate pass.
    float inputScale = 1.0f;
    int32_t delay = 0;
    // Block positions [0, written) hold this block's data; the rest stands for silence.
    int32_t written = 0;

  private:
    // The shared body of mix16 and mix8; `Convert` turns one input element into a double.
    template <class Source, class Convert>
    void mixInput(const Source* src, float gain, float gainStep, int32_t count, int32_t offset,
                  Convert convert);
    void mixOther(const FpuChannelBuffer& other, float gain, bool scaled, int32_t count);
};

}  // namespace ve32
