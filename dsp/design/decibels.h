#pragma once

namespace ve32 {

// 10^(dB / 20), as 10^(dB x 0.05f) evaluated in double. 0 dB is exactly 1.0.
float decibelsToGain(float decibels);

}  // namespace ve32
