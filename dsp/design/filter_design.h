#pragma once
// Turns a sample rate into the engines' filters: table lookups and the 75 Hz high-pass design.
// Every routine builds its component through the given Backend and returns null when the rate has
// no table entry (the output argument is then left alone) or the component's memory cannot be
// obtained (use isSupportedSampleRate to tell the two apart).

#include <cstdint>

#include "dsp/components/backend.h"

namespace ve32 {

bool isSupportedSampleRate(int32_t sampleRate);

// The pole-pair shaping filter, gain scaled by gainFactor; reports the direct-path delay.
Filter* findPoleShaping(const Backend* backend, int32_t sampleRate, float gainFactor,
                        int32_t* directDelay);
// The second-order-section shaping filter, gain scaled by gainFactor; directDelay is 0.
Filter* findPoleZeroShaping(const Backend* backend, int32_t sampleRate, float gainFactor,
                            int32_t* directDelay);
// The mono-to-stereo 45-tap filter; reports its latency (tapCount - 1) / 2.
Filter* findFirFilter(const Backend* backend, int32_t sampleRate, int32_t* latency);

// Second-order Butterworth high-pass at `frequency` Hz by the bilinear transform with prewarping.
// Accepts any rate.
PoleZeroParams highPassParams(int32_t sampleRate, int32_t frequency, float section[4]);
Filter* designHighPass(const Backend* backend, int32_t sampleRate, int32_t frequency);

}  // namespace ve32
