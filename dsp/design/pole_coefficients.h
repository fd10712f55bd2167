#pragma once
// Turns a pole pair (frequency, radius) into the denominator 1 + c1 z^-1 + c2 z^-2 of a two-pole
// resonator section. Both cascade implementations call it once per pair.

#include <cstdint>

#include "dsp/components/parameter_records.h"

namespace ve32 {

// c1 = cos(2 pi f / fs) * r * (-2), c2 = r * r; evaluated in double, each stored as a float.
void poleCoefficients(const PolePair& pair, int32_t sampleRate, float* c1, float* c2);

}  // namespace ve32
