#include "dsp/components/fpu/fpu_backend.h"

#include "dsp/components/allocation.h"
#include "dsp/components/fpu/fpu_channel_buffer.h"
#include "dsp/components/fpu/fpu_fir_filter.h"
#include "dsp/components/fpu/fpu_pole_cascade.h"
#include "dsp/components/fpu/fpu_pole_zero_cascade.h"
#include "dsp/components/fpu/fpu_tap_delay.h"

namespace ve32 {

namespace {

// Constant-initialised, so it exists before any other static initialiser can ask for it.
constinit const FpuBackend kFpuBackend;

// A record naming `count` entries through `entries` can be read.
template <class T>
bool readableArray(const T* entries, int32_t count) {
    return count >= 0 && (count == 0 || entries != nullptr);
}

}  // namespace

const Backend& fpuBackend() {
    return kFpuBackend;
}

ChannelBuffer* FpuBackend::createChannelBuffer(int32_t capacity) const {
    if (capacity < 0) {
        return nullptr;
    }
    return makeComponent<FpuChannelBuffer>(capacity);
}

TapDelay* FpuBackend::createTapDelay(const TapDelayParams* params) const {
    if (params == nullptr || !readableArray(params->taps, params->tapCount)) {
        return nullptr;
    }
    return makeComponent<FpuTapDelay>(*params);
}

Filter* FpuBackend::createFirFilter(const FirParams* params) const {
    if (params == nullptr || params->tapCount < 1 ||
        !readableArray(params->coefficients, params->tapCount)) {
        return nullptr;
    }
    return makeComponent<FpuFirFilter>(*params);
}

Filter* FpuBackend::createPoleZeroCascade(const PoleZeroParams* params) const {
    if (params == nullptr || !readableArray(params->coefficients, params->sectionCount)) {
        return nullptr;
    }
    return makeComponent<FpuPoleZeroCascade>(*params);
}

Filter* FpuBackend::createPoleCascade(const PoleParams* params) const {
    if (params == nullptr || params->sampleRate <= 0 ||
        !readableArray(params->pairs, params->pairCount)) {
        return nullptr;
    }
    return makeComponent<FpuPoleCascade>(*params);
}

}  // namespace ve32
