#include "dsp/frame/backend_selection.h"

#include "dsp/frame/cpu_detection.h"

namespace ve32 {

int selectBackendCode(uint32_t flags) {
    switch (flags & 7u) {
        case 1:
            return kFpuBackendCode;
        case 2:
            return kMmxBackendCode;
        default:
            return (cpuHasCpuid() != 0 && cpuHasMmx() != 0) ? kMmxBackendCode : kFpuBackendCode;
    }
}

const Backend* backendFor(int code) {
    return code == kMmxBackendCode ? &mmxBackend() : &fpuBackend();
}

}  // namespace ve32
