// Chooses the kernel table once, when the library is loaded, from the processor's features.

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "dsp/components/mmx/kernel_tables.h"

namespace ve32 {

namespace {

bool processorRuns(MmxKernelSet set) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    switch (set) {
        case MmxKernelSet::Scalar:
            return true;
        case MmxKernelSet::Sse2:
            return __builtin_cpu_supports("sse2");
        // The library's own check also covers the operating system saving the wide registers.
        case MmxKernelSet::Avx2:
            return __builtin_cpu_supports("avx2");
    }
    return false;
#else
    return set == MmxKernelSet::Scalar;
#endif
}

const MmxKernels* widestAvailable() {
    for (MmxKernelSet set : {MmxKernelSet::Avx2, MmxKernelSet::Sse2}) {
        if (const MmxKernels* table = mmxKernelsFor(set)) return table;
    }
    return &scalarKernels();
}

// VE32_MMX_KERNELS=scalar|sse2|avx2 asks for one variant (for comparing them); a variant this
// processor cannot run is ignored.
const MmxKernels* chooseAtStartup() {
    if (const char* requested = std::getenv("VE32_MMX_KERNELS")) {
        const struct {
            const char* name;
            MmxKernelSet set;
        } names[] = {{"scalar", MmxKernelSet::Scalar},
                     {"sse2", MmxKernelSet::Sse2},
                     {"avx2", MmxKernelSet::Avx2}};
        for (const auto& entry : names) {
            if (std::strcmp(requested, entry.name) == 0) {
                if (const MmxKernels* table = mmxKernelsFor(entry.set)) return table;
            }
        }
    }
    return widestAvailable();
}

std::atomic<const MmxKernels*>& activeTable() {
    static std::atomic<const MmxKernels*> table{chooseAtStartup()};
    return table;
}

// Makes the choice while the library loads rather than at the first open.
[[maybe_unused]] const bool chosenAtLoad = (activeTable(), true);

}  // namespace

const MmxKernels* mmxKernelsFor(MmxKernelSet set) {
    if (!processorRuns(set)) return nullptr;
    switch (set) {
        case MmxKernelSet::Scalar:
            return &scalarKernels();
        case MmxKernelSet::Sse2:
            return sse2Kernels();
        case MmxKernelSet::Avx2:
            return avx2Kernels();
    }
    return nullptr;
}

const MmxKernels& mmxKernels() {
    return *activeTable().load(std::memory_order_relaxed);
}

bool selectMmxKernels(MmxKernelSet set) {
    const MmxKernels* table = mmxKernelsFor(set);
    if (table == nullptr) return false;
    activeTable().store(table, std::memory_order_relaxed);
    return true;
}

int32_t sumMagnitudes16(const int16_t* p, int32_t n) {
    return mmxKernels().sumMagnitudes16(p, n);
}
int32_t findLoud16(const int16_t* p, int16_t threshold, int32_t n) {
    return mmxKernels().findLoud16(p, threshold, n);
}
void storeRamp16(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    mmxKernels().storeRamp16(src, gain, step, dst, n);
}
void mixRamp16(const int16_t* src, int16_t gain, int16_t step, int16_t* dst, int32_t n) {
    mmxKernels().mixRamp16(src, gain, step, dst, n);
}

}  // namespace ve32
