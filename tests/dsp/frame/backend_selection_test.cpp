#include "dsp/frame/backend_selection.h"

#include <gtest/gtest.h>

#include "dsp/frame/cpu_detection.h"

namespace ve32 {
namespace {

TEST(CpuDetection, AnswersForThisProcessor) {
#if defined(__x86_64__)
    // Every x86-64 processor has CPUID and MMX.
    EXPECT_EQ(cpuHasCpuid(), 1);
    EXPECT_EQ(cpuHasMmx(), 1);
#else
    EXPECT_EQ(cpuHasCpuid() == 1 && cpuHasMmx() == 1, false);
#endif
}

TEST(BackendSelection, LowThreeBitsDecide) {
    const int automatic = (cpuHasCpuid() && cpuHasMmx()) ? kMmxBackendCode : kFpuBackendCode;
    struct Case {
        uint32_t flags;
        int code;
    };
    const Case cases[] = {
        {0, automatic},
        {1, kFpuBackendCode},
        {2, kMmxBackendCode},
        {3, automatic},
        {4, automatic},
        {5, automatic},
        {6, automatic},
        {7, automatic},
        {9, kFpuBackendCode},
        {0x80000001u, kFpuBackendCode},
        {0x80000002u, kMmxBackendCode},
        {0xFFFFFFF8u, automatic},
    };
    for (const Case& c : cases) EXPECT_EQ(selectBackendCode(c.flags), c.code) << c.flags;
}

TEST(BackendSelection, CodesMapToTheTwoInstances) {
    EXPECT_EQ(backendFor(kFpuBackendCode), &fpuBackend());
    EXPECT_NE(backendFor(kMmxBackendCode), nullptr);
}

}  // namespace
}  // namespace ve32
