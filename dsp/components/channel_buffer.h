#pragma once
// One channel's working block. Storage holds `delay` history samples followed by the current block;
// every output operation reads storage[0 .. count), so a buffer with delay D is a D-sample delay
// line. Block samples at or beyond `written` stand for silence and are zero-filled only when an
// operation needs them, which keeps the first mix of a block a plain store.

#include <cstdint>

namespace ve32 {

class ChannelBuffer {
  public:
    virtual ~ChannelBuffer() = default;
    virtual void setDelay(int32_t samples) = 0;
    // Mixes count samples of src into block positions [offset, offset + count) with a gain that
    // starts at `gain` and moves by `gainStep` per sample; positions already written are added
    // to, the rest stored.
    virtual void mix16(const int16_t* src, float gain, float gainStep, int32_t count,
                       int32_t offset) = 0;
    virtual void mix8(const uint8_t* src, float gain, float gainStep, int32_t count,
                      int32_t offset) = 0;
    virtual void mixBuffer(ChannelBuffer* other, int32_t count) = 0;
    virtual void scale(float gain, int32_t count) = 0;
    virtual void mixBufferScaled(ChannelBuffer* other, float gain, int32_t count) = 0;
    // This buffer is the left channel of the stereo forms.
    virtual void writeStereo16(ChannelBuffer* right, int16_t* dst, int32_t count) = 0;
    virtual void writeStereo8(ChannelBuffer* right, uint8_t* dst, int32_t count) = 0;
    virtual void writeMono16(int16_t* dst, int32_t count) = 0;
    virtual void writeMono8(uint8_t* dst, int32_t count) = 0;
    // Ends a block of count samples: carries the history over and empties the block.
    virtual void advance(int32_t count) = 0;
    virtual int32_t isQuiet() = 0;
    virtual void clearHistory() = 0;
};

}  // namespace ve32
