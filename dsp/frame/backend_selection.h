#pragma once
// Chooses the arithmetic back-end of a new engine from the open flags and the processor.

#include <cstdint>

#include "dsp/components/backend.h"

namespace ve32 {

enum BackendCode : int { kFpuBackendCode = 1, kMmxBackendCode = 2 };

// flags & 7: 1 requests the floating-point back-end, 2 the packed one; anything else chooses
// automatically (packed when the processor has CPUID and MMX).
int selectBackendCode(uint32_t flags);
const Backend* backendFor(int code);

}  // namespace ve32
