#pragma once
// The per-instruction-set kernel tables. Each lives in its own file, compiled for its own
// instruction set; kernel_selection.cpp picks one at start-up.

#include "dsp/components/mmx/kernels.h"

namespace ve32 {

// Always available.
const MmxKernels& scalarKernels();
// Null when this build has no such variant (e.g. not an x86 target).
const MmxKernels* sse2Kernels();
const MmxKernels* avx2Kernels();

// Shared by every table: the extended-precision pole-zero pairs are bound by their integer
// recursion, and no vector form of their input part beats the scalar one.
void poleZeroPairsExtendedScalar(const ExtendedPairCoefficients& pair, int16_t* inputs,
                                 int64_t* outputs, int16_t* samples, int32_t pairCount);

}  // namespace ve32
