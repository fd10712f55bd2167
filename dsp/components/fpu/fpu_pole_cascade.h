#pragma once
// Floating-point pole cascade: two-pole resonator sections 1 / (1 + c1 z^-1 + c2 z^-2), one per
// pole pair, with one overall gain, applied in place to a floating-point channel buffer.
// Coefficients are c1, c2 per section; the history is y(n-1), y(n-2) per section.

#include "dsp/components/fpu/fpu_cascade.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class FpuPoleCascade final : public FpuCascade {
  public:
    // The record must name pairCount >= 0 pairs and a positive sample rate (the Backend factory
    // checks it).
    explicit FpuPoleCascade(const PoleParams& params);
};

}  // namespace ve32
