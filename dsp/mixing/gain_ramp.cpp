#include "dsp/mixing/gain_ramp.h"

namespace ve32 {

void GainRamp::setTarget(float newTarget, int32_t steps) {
    target = newTarget;
    remaining = steps;
    if (steps == 0) {
        step = 0.0f;
        current = newTarget;
        return;
    }
    step = static_cast<float>((static_cast<double>(newTarget) - current) / steps);
    if (step == 0.0f) {  // the move is too small to take: arrive at once
        remaining = 0;
        current = newTarget;
    }
}

template <class Sample, class Mix>
void GainRamp::mixInto(const Sample* src, int32_t count, int32_t offset, Mix mix) {
    if (remaining == 0) {
        if (current != 0.0f) mix(src, current, 0.0f, count, offset);
        return;
    }
    if (count < remaining) {
        mix(src, current, step, count, offset);
        remaining -= count;
        current = static_cast<float>(current + static_cast<double>(count) * step);
        return;
    }
    mix(src, current, step, remaining, offset);
    mix(src + remaining, target, 0.0f, count - remaining, offset + remaining);
    remaining = 0;
    step = 0.0f;
    current = target;
}

void GainRamp::mixInto16(const int16_t* src, ChannelBuffer* dst, int32_t count, int32_t offset) {
    mixInto(src, count, offset,
            [dst](const int16_t* s, float gain, float gainStep, int32_t n, int32_t at) {
                dst->mix16(s, gain, gainStep, n, at);
            });
}

void GainRamp::mixInto8(const uint8_t* src, ChannelBuffer* dst, int32_t count, int32_t offset) {
    mixInto(src, count, offset,
            [dst](const uint8_t* s, float gain, float gainStep, int32_t n, int32_t at) {
                dst->mix8(s, gain, gainStep, n, at);
            });
}

}  // namespace ve32
