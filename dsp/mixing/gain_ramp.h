#pragma once
// One gain of an engine's mixing network. It mixes a source block into a channel buffer and can
// move linearly to a new gain over a number of samples, splitting a block where the move ends.

#include <cstdint>

#include "dsp/components/channel_buffer.h"

namespace ve32 {

struct GainRamp {
    int32_t remaining = 0;  // samples until the target is reached; 0 = steady
    float current = 0.0f;   // gain of the next sample
    float target = 0.0f;
    float step = 0.0f;  // per-sample change while ramping

    // Moves from the current gain to `newTarget` over `steps` samples; 0 changes it at once.
    void setTarget(float newTarget, int32_t steps);
    // A steady gain of zero mixes nothing at all, so the buffer's block stays unwritten and the
    // filters after it can skip a silent block.
    void mixInto16(const int16_t* src, ChannelBuffer* dst, int32_t count, int32_t offset);
    void mixInto8(const uint8_t* src, ChannelBuffer* dst, int32_t count, int32_t offset);

  private:
    template <class Sample, class Mix>
    void mixInto(const Sample* src, int32_t count, int32_t offset, Mix mix);
};

}  // namespace ve32
