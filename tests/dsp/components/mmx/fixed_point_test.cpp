#include "dsp/components/mmx/fixed_point.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ve32 {
namespace {

TEST(MmxFixedPoint, Q15GainTruncatesTheScaledGain) {
    const struct {
        float gain;
        int16_t expected;
    } cases[] = {{1.0f, 32767}, {0.5f, 16383}, {-1.0f, -32767}, {0.99999f, 32766},
                 {0.25f, 8191}, {0.001f, 32},  {0.0f, 0},       {-0.5f, -16383}};
    for (const auto& c : cases) EXPECT_EQ(q15Gain(c.gain), c.expected) << c.gain;
}

TEST(MmxFixedPoint, Q15GainWrapsBeyondUnityButTheWideFormDoesNot) {
    // 2.0 * 32767 = 65534 keeps the low 16 bits -2 in the packed format; the wide form keeps it.
    EXPECT_EQ(q15Gain(2.0f), -2);
    EXPECT_EQ(q15GainWide(2.0f), 65534);
    EXPECT_EQ(q15GainWide(-4.0f), -131068);
    EXPECT_EQ(q15GainWide(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(q15GainWide(std::numeric_limits<float>::infinity()), int64_t{1} << 40);
}

TEST(MmxFixedPoint, CoefficientsAddAHalfBeforeTruncating) {
    // Not round-to-nearest for negative values: a scaled -100.7 becomes -100, 100.7 becomes 101.
    EXPECT_EQ(q13Coefficient(-100.7 / 8192.0), -100);
    EXPECT_EQ(q13Coefficient(100.7 / 8192.0), 101);
    EXPECT_EQ(q14Coefficient(-100.7 / 16384.0), -100);
    EXPECT_EQ(q14Coefficient(100.7 / 16384.0), 101);
    EXPECT_EQ(q15Coefficient(0.5), 16384);
    EXPECT_EQ(q15Coefficient(-0.5), -16383);
    EXPECT_EQ(q15Coefficient(1.0), 32767);
    EXPECT_EQ(q15Coefficient(-1.0), -32766);
    EXPECT_EQ(q13Coefficient(-4.2414), static_cast<int32_t>(std::trunc(-4.2414 * 8192 + 0.5)));
}

TEST(MmxFixedPoint, LaneLimitReplacesWrapAround) {
    EXPECT_EQ(limitToLane(40000), 32767);
    EXPECT_EQ(limitToLane(-40000), -32767);
    EXPECT_EQ(limitToLane(-32768), -32767);
    EXPECT_EQ(limitToLane(-1234), -1234);
}

}  // namespace
}  // namespace ve32
