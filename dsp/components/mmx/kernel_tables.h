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

}  // namespace ve32
