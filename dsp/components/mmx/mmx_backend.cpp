#include "dsp/components/mmx/mmx_backend.h"

#include "dsp/components/allocation.h"
#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "dsp/components/mmx/mmx_fir_filter.h"
#include "dsp/components/mmx/mmx_pole_cascade.h"
#include "dsp/components/mmx/mmx_pole_zero_cascade.h"
#include "dsp/components/mmx/mmx_tap_delay.h"

namespace ve32 {

// Each factory hands out a component only when all of its memory was obtained.
ChannelBuffer* MmxBackend::createChannelBuffer(int32_t capacity) const {
    return makeComponent<MmxChannelBuffer>(capacity);
}

TapDelay* MmxBackend::createTapDelay(const TapDelayParams* params) const {
    return makeComponent<MmxTapDelay>(*params);
}

Filter* MmxBackend::createFirFilter(const FirParams* params) const {
    return makeComponent<MmxFirFilter>(*params);
}

Filter* MmxBackend::createPoleZeroCascade(const PoleZeroParams* params) const {
    return makeComponent<MmxPoleZeroCascade>(*params);
}

Filter* MmxBackend::createPoleCascade(const PoleParams* params) const {
    return makeComponent<MmxPoleCascade>(*params);
}

namespace {
// Constructed by the library's static initialisers; it holds nothing but its table.
const MmxBackend kMmxBackend;
}  // namespace

const Backend& mmxBackend() {
    return kMmxBackend;
}

}  // namespace ve32
