#include "dsp/mixing/gain_ramp.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/dsp/support/recording_backend.h"

namespace ve32 {
namespace {

using testing::RecordingChannelBuffer;

TEST(GainRamp, NewRampIsSteadyAtZeroAndMixesNothing) {
    GainRamp ramp;
    EXPECT_EQ(ramp.remaining, 0);
    EXPECT_EQ(ramp.current, 0.0f);
    RecordingChannelBuffer buffer;
    const int16_t src[4] = {1, 2, 3, 4};
    ramp.mixInto16(src, &buffer, 4, 0);
    ramp.setTarget(-0.0f, 0);
    ramp.mixInto16(src, &buffer, 4, 0);
    EXPECT_TRUE(buffer.mixes.empty());
}

TEST(GainRamp, SteadyGainMixesWholeBlockWithoutStep) {
    GainRamp ramp;
    ramp.setTarget(0.5f, 0);
    RecordingChannelBuffer buffer;
    const uint8_t src[16] = {};
    ramp.mixInto8(src, &buffer, 16, 3);
    ASSERT_EQ(buffer.mixes.size(), 1u);
    EXPECT_EQ(buffer.mixes[0].gain, 0.5f);
    EXPECT_EQ(buffer.mixes[0].gainStep, 0.0f);
    EXPECT_EQ(buffer.mixes[0].count, 16);
    EXPECT_EQ(buffer.mixes[0].offset, 3);
}

TEST(GainRamp, RampSplitsTheBlockWhereItEnds) {
    GainRamp ramp;
    ramp.setTarget(1.0f, 100);
    EXPECT_FLOAT_EQ(ramp.step, 0.01f);
    RecordingChannelBuffer buffer;
    std::vector<int16_t> src(64, 1);

    ramp.mixInto16(src.data(), &buffer, 64, 0);
    ASSERT_EQ(buffer.mixes.size(), 1u);
    EXPECT_EQ(buffer.mixes[0].gain, 0.0f);
    EXPECT_FLOAT_EQ(buffer.mixes[0].gainStep, 0.01f);
    EXPECT_EQ(buffer.mixes[0].count, 64);
    EXPECT_EQ(ramp.remaining, 36);
    EXPECT_NEAR(ramp.current, 0.64f, 1e-6);

    ramp.mixInto16(src.data(), &buffer, 64, 0);
    ASSERT_EQ(buffer.mixes.size(), 3u);
    EXPECT_NEAR(buffer.mixes[1].gain, 0.64f, 1e-6);
    EXPECT_EQ(buffer.mixes[1].count, 36);
    EXPECT_EQ(buffer.mixes[1].offset, 0);
    EXPECT_EQ(buffer.mixes[2].gain, 1.0f);
    EXPECT_EQ(buffer.mixes[2].gainStep, 0.0f);
    EXPECT_EQ(buffer.mixes[2].count, 28);
    EXPECT_EQ(buffer.mixes[2].offset, 36);
    EXPECT_EQ(buffer.mixes[2].src, src.data() + 36);
    EXPECT_EQ(ramp.remaining, 0);
    EXPECT_EQ(ramp.step, 0.0f);
    EXPECT_EQ(ramp.current, 1.0f);
}

TEST(GainRamp, RampEndingExactlyAtBlockEndStillMakesTheSecondCall) {
    GainRamp ramp;
    ramp.setTarget(0.0f, 0);
    ramp.setTarget(1.0f, 8);
    RecordingChannelBuffer buffer;
    const int16_t src[8] = {};
    ramp.mixInto16(src, &buffer, 8, 0);
    ASSERT_EQ(buffer.mixes.size(), 2u);
    EXPECT_EQ(buffer.mixes[1].count, 0);
    EXPECT_EQ(ramp.current, 1.0f);
}

TEST(GainRamp, NegligibleMoveArrivesAtOnce) {
    GainRamp ramp;
    ramp.setTarget(1.0f, 0);
    ramp.setTarget(1.0f, 50);
    EXPECT_EQ(ramp.remaining, 0);
    EXPECT_EQ(ramp.current, 1.0f);
}

}  // namespace
}  // namespace ve32
