#include "dsp/components/fpu/fpu_array_routines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace ve32 {
namespace {

TEST(FpuArrayRoutines, SumMagnitudes) {
    const std::vector<float> values = {-1.5f, 2.0f, -0.25f, 0.0f};
    EXPECT_EQ(sumMagnitudes(values.data(), 4), 3.75f);
    EXPECT_EQ(sumMagnitudes(values.data(), 1), 1.5f);
    EXPECT_EQ(sumMagnitudes(values.data(), 0), 0.0f);
    EXPECT_EQ(sumMagnitudes(values.data(), -2), 0.0f);
    // The sum runs from the last element down; a float accumulator would lose the ones against
    // the large last element.
    std::vector<float> many(1001, 1.0f);
    many[1000] = 16777216.0f;
    EXPECT_EQ(sumMagnitudes(many.data(), 1001), 16778216.0f);
}

TEST(FpuArrayRoutines, ScaleStoreAndMix) {
    std::vector<float> samples = {1.0f, -2.0f, 3.0f};
    scaleSamples(samples.data(), -0.5f, 2);
    EXPECT_EQ(samples, (std::vector<float>{-0.5f, 1.0f, 3.0f}));

    std::vector<float> dst = {7.0f, 7.0f, 7.0f};
    storeScaled(samples.data(), dst.data(), 2.0f, 3);
    EXPECT_EQ(dst, (std::vector<float>{-1.0f, 2.0f, 6.0f}));
    mixScaled(samples.data(), dst.data(), 4.0f, 2);
    EXPECT_EQ(dst, (std::vector<float>{-3.0f, 6.0f, 6.0f}));
}

TEST(FpuArrayRoutines, MixScaledRoundsOnceOnStore) {
    // (1 + 2^-23)^2 - (1 + 2^-22) = 2^-46 exactly; rounding the product to float first would
    // give 0.
    const float src = 1.0f + std::ldexp(1.0f, -23);
    float dst = -(1.0f + std::ldexp(1.0f, -22));
    mixScaled(&src, &dst, src, 1);
    EXPECT_EQ(dst, std::ldexp(1.0f, -46));
}

TEST(FpuArrayRoutines, ByteTableFollowsTheSharedScale) {
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(kByteSampleTable[b], (b - 128) * 256.0f) << "byte " << b;
    }
}

}  // namespace
}  // namespace ve32
