#pragma once
// The packed 16-bit fixed-point back-end: factories for the components of this folder.

#include "dsp/components/backend.h"

namespace ve32 {

class MmxBackend final : public Backend {
  public:
    ChannelBuffer* createChannelBuffer(int32_t capacity) const override;
    TapDelay* createTapDelay(const TapDelayParams* params) const override;
    Filter* createFirFilter(const FirParams* params) const override;
    Filter* createPoleZeroCascade(const PoleZeroParams* params) const override;
    Filter* createPoleCascade(const PoleParams* params) const override;
};

}  // namespace ve32
