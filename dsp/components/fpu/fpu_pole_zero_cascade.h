#pragma once
// Floating-point pole-zero cascade: direct form II sections
// (1 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) with one overall gain, applied in place to a
// floating-point channel buffer. Coefficients are a1, a2, b1, b2 per section; the history is
// w(n-1), w(n-2) per section.

#include "dsp/components/fpu/fpu_cascade.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class FpuPoleZeroCascade final : public FpuCascade {
  public:
    // The record must name sectionCount >= 0 sections (the Backend factory checks it).
    explicit FpuPoleZeroCascade(const PoleZeroParams& params);
};

}  // namespace ve32
