#pragma once
// The floating-point Backend: its components compute in single-precision floats with double
// intermediates. The one instance is reached through ve32::fpuBackend() (dsp/components/backend.h).

#include "dsp/components/backend.h"

namespace ve32 {

class FpuBackend final : public Backend {
  public:
    constexpr FpuBackend() = default;

    // Each factory returns null when any of the component's memory cannot be obtained, and also
    // for a record no component can be built from: a null record, a negative count, a null array
    // where entries are named, a FIR filter without coefficients or a pole cascade at a sample
    // rate that is not positive.
    ChannelBuffer* createChannelBuffer(int32_t capacity) const override;
    TapDelay* createTapDelay(const TapDelayParams* params) const override;
    Filter* createFirFilter(const FirParams* params) const override;
    Filter* createPoleZeroCascade(const PoleZeroParams* params) const override;
    Filter* createPoleCascade(const PoleParams* params) const override;
};

}  // namespace ve32
