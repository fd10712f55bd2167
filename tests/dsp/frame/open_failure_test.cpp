// Every allocation that opening an engine makes is failed in turn: each attempt must report
// VE32_OUT_OF_MEMORY, store null and leave nothing behind (the leak checker runs in the sanitizer
// build).

#include <gtest/gtest.h>

#include <vector>

#include "tests/dsp/support/failing_allocator.h"
#include "tests/dsp/support/signals.h"
#include "ve32.h"

namespace ve32 {
namespace {

using testing::failAllocationAfter;

using OpenFunction = int (*)(void**, int, unsigned);

void expectEveryAllocationFailureIsReported(OpenFunction open, unsigned flags) {
    int failures = 0;
    for (long n = 0; n < 1000; ++n) {
        void* handle = reinterpret_cast<void*>(0x1);
        failAllocationAfter(n);
        const int result = open(&handle, 44100, flags);
        failAllocationAfter(-1);
        if (result == VE32_OK) {
            ASSERT_NE(handle, nullptr);
            ASSERT_GT(failures, 3) << "open should allocate several times";
            (open == &veOpen ? veClose : m2sClose)(handle);
            return;
        }
        ASSERT_EQ(result, VE32_OUT_OF_MEMORY) << "allocation " << n;
        ASSERT_EQ(handle, nullptr) << "allocation " << n;
        ++failures;
    }
    FAIL() << "open never succeeded";
}

TEST(OpenFailure, ExpanderReportsEveryFailedAllocation) {
    for (unsigned flags :
         {VE32_BACKEND_FPU, VE32_BACKEND_MMX, VE32_BACKEND_FPU | VE32_FLAG_SECTION_SHAPING,
          VE32_BACKEND_MMX | VE32_FLAG_SECTION_SHAPING}) {
        expectEveryAllocationFailureIsReported(&veOpen, flags);
    }
}

TEST(OpenFailure, MonoToStereoReportsEveryFailedAllocation) {
    for (unsigned flags : {VE32_BACKEND_FPU, VE32_BACKEND_MMX}) {
        expectEveryAllocationFailureIsReported(&m2sOpen, flags);
    }
}

TEST(OpenFailure, UnsupportedRateStaysDistinctFromMemoryFailure) {
    void* handle = reinterpret_cast<void*>(0x1);
    failAllocationAfter(0);
    EXPECT_EQ(veOpen(&handle, 96000, VE32_BACKEND_FPU), VE32_OUT_OF_MEMORY);  // no engine at all
    failAllocationAfter(-1);
    EXPECT_EQ(veOpen(&handle, 96000, VE32_BACKEND_FPU), VE32_UNSUPPORTED_RATE);
    EXPECT_EQ(handle, nullptr);
}

// A failed setInputDelay keeps the previous delay lines and delays.
TEST(SetInputDelayFailure, KeepsThePreviousDelays) {
    const auto input = testing::noise16(2 * 3000, 12000, 41);
    for (long n = 0; n < 4; ++n) {
        void* failing = nullptr;
        void* reference = nullptr;
        ASSERT_EQ(veOpen(&failing, 48000, VE32_BACKEND_FPU), VE32_OK);
        ASSERT_EQ(veOpen(&reference, 48000, VE32_BACKEND_FPU), VE32_OK);
        veSetInputDelay(failing, 12, 3);
        veSetInputDelay(reference, 12, 3);
        failAllocationAfter(n);
        veSetInputDelay(failing, 200, 100);
        failAllocationAfter(-1);
        std::vector<int16_t> a(input.size()), b(input.size());
        veProcess16(failing, input.data(), a.data(), 3000);
        veProcess16(reference, input.data(), b.data(), 3000);
        EXPECT_EQ(a, b) << "failing allocation " << n;
        veClose(failing);
        veClose(reference);
    }
}

}  // namespace
}  // namespace ve32
