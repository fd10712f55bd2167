// What this processor offers, asked directly with CPUID (the library exports no such query).
#pragma once

#include <string>

namespace ve_cli {

struct CpuFeatures {
    bool hasCpuid = false;
    bool mmx = false;  // leaf 1, EDX bit 23: what the library's automatic choice looks at
    bool sse2 = false;
    bool avx2 = false;
    std::string vendor;  // "GenuineIntel", ... or empty
    std::string brand;   // the processor's own name string, or empty
};

CpuFeatures readCpuFeatures();

// The back-end an automatic request gets: the packed 16-bit one when the processor reports MMX,
// otherwise floating point.
inline const char* automaticBackendName(const CpuFeatures& cpu) {
    return cpu.mmx ? "mmx" : "fpu";
}

}  // namespace ve_cli
