#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/components/mmx/kernels.h"
#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "tests/dsp/components/mmx/reference_model.h"

namespace ve32 {
namespace {

std::vector<int16_t> mono16(MmxChannelBuffer& buffer, int32_t count) {
    std::vector<int16_t> out(static_cast<std::size_t>(count));
    buffer.writeMono16(out.data(), count);
    return out;
}

std::vector<int16_t> repeat(int16_t value, std::size_t n) {
    return std::vector<int16_t>(n, value);
}

TEST(MmxChannelBuffer, GroupsAndRemainderDifferByTheirLastBit) {
    MmxChannelBuffer buffer(1024);
    const auto input = repeat(1000, 17);
    buffer.mix16(input.data(), 0.5f, 0.0f, 17, 0);
    std::vector<int16_t> expected(16, 498);
    expected.push_back(499);
    EXPECT_EQ(mono16(buffer, 17), expected);
    EXPECT_EQ(buffer.written(), 17);
}

TEST(MmxChannelBuffer, EightBitInputTakesTheSixteenBitScale) {
    MmxChannelBuffer loud(1024);
    const std::vector<uint8_t> full(17, 255);
    loud.mix8(full.data(), 1.0f, 0.0f, 17, 0);
    std::vector<int16_t> expected(16, 32510);
    expected.push_back(32511);
    EXPECT_EQ(mono16(loud, 17), expected);

    MmxChannelBuffer silent(1024);
    const std::vector<uint8_t> midpoint(17, 128);
    silent.mix8(midpoint.data(), 1.0f, 0.0f, 17, 0);
    EXPECT_EQ(mono16(silent, 17), repeat(0, 17));
}

TEST(MmxChannelBuffer, MostNegativeSampleAtUnityGain) {
    MmxChannelBuffer buffer(1024);
    const auto input = repeat(-32768, 17);
    buffer.mix16(input.data(), 1.0f, 0.0f, 17, 0);
    const auto out = mono16(buffer, 17);
    EXPECT_EQ(out[0], -32768);
    EXPECT_EQ(out[15], -32768);
    EXPECT_EQ(out[16], -32767);
}

TEST(MmxChannelBuffer, SecondMixAddsWithSaturation) {
    MmxChannelBuffer buffer(1024);
    const int16_t loud = 32767;
    buffer.mix16(&loud, 1.0f, 0.0f, 1, 0);
    EXPECT_EQ(mono16(buffer, 1)[0], 32766);
    buffer.mix16(&loud, 1.0f, 0.0f, 1, 0);
    EXPECT_EQ(mono16(buffer, 1)[0], 32767);
}

TEST(MmxChannelBuffer, RampUsesTwoGainsPerGroupThenStepsPerSample) {
    MmxChannelBuffer buffer(1024);
    const auto input = repeat(16384, 20);
    buffer.mix16(input.data(), 0.25f, 0.001f, 20, 0);
    std::vector<int16_t> expected(8, 4094);
    expected.insert(expected.end(), 8, 4222);
    expected.insert(expected.end(), {4351, 4367, 4383, 4399});
    EXPECT_EQ(mono16(buffer, 20), expected);
}

TEST(MmxChannelBuffer, PartlyWrittenBlockAddsThenStoresFromTheRestartedRamp) {
    // Gain 0.25 (8191), step 0.001 (32): the stored part starts at 8191 + 4 * 32 = 8319.
    MmxChannelBuffer buffer(1024);
    const auto base = repeat(100, 4);
    buffer.mix16(base.data(), 1.0f, 0.0f, 4, 0);  // 99 each (one-at-a-time path)
    const auto input = repeat(16384, 8);
    buffer.mix16(input.data(), 0.25f, 0.001f, 8, 0);
    std::vector<int16_t> expected;
    for (int k = 0; k < 4; ++k)
        expected.push_back(static_cast<int16_t>(99 + (16384 * (8191 + 32 * k)) / 32768));
    for (int k = 0; k < 4; ++k)
        expected.push_back(static_cast<int16_t>((16384 * (8319 + 32 * k)) / 32768));
    EXPECT_EQ(mono16(buffer, 8), expected);
    EXPECT_EQ(buffer.written(), 8);
}

TEST(MmxChannelBuffer, OffsetZeroFillsTheGap) {
    MmxChannelBuffer buffer(1024);
    const auto input = repeat(1000, 3);
    buffer.mix16(input.data(), 1.0f, 0.0f, 3, 5);
    EXPECT_EQ(buffer.written(), 8);
    EXPECT_EQ(mono16(buffer, 8), (std::vector<int16_t>{0, 0, 0, 0, 0, 999, 999, 999}));
}

// A buffer whose first block holds exactly `values` (written directly, as a filter would).
void fill(MmxChannelBuffer& buffer, const std::vector<int16_t>& values) {
    const auto count = static_cast<int32_t>(values.size());
    buffer.zeroFillTo(count);
    std::copy(values.begin(), values.end(), buffer.storage() + buffer.delay());
}

TEST(MmxChannelBuffer, ByteOutputIsTheUpperByteWithTheTopBitInverted) {
    const std::vector<int16_t> samples = {-32768, -1, 0, 255, 256, 32767};
    const std::vector<uint8_t> expected = {0, 127, 128, 128, 129, 255};
    MmxChannelBuffer buffer(64);
    fill(buffer, samples);
    std::vector<uint8_t> mono(6);
    buffer.writeMono8(mono.data(), 6);
    EXPECT_EQ(mono, expected);

    MmxChannelBuffer right(64);
    fill(right, {32767, 256, 255, 0, -1, -32768});
    std::vector<uint8_t> stereo(12);
    buffer.writeStereo8(&right, stereo.data(), 6);
    EXPECT_EQ(stereo,
              (std::vector<uint8_t>{0, 255, 127, 129, 128, 128, 128, 128, 129, 127, 255, 0}));

    std::vector<int16_t> stereo16(12);
    buffer.writeStereo16(&right, stereo16.data(), 6);
    EXPECT_EQ(stereo16, (std::vector<int16_t>{-32768, 32767, -1, 256, 0, 255, 255, 0, 256, -1,
                                              32767, -32768}));
}

TEST(MmxChannelBuffer, QuietTestLooksForAHistorySampleOfTenOrMore) {
    const struct {
        std::vector<int16_t> history;
        int32_t quiet;
    } cases[] = {{{9, -9, 0}, 1}, {{0, 10}, 0}, {{-10}, 0}, {{}, 1}, {{-32768, 0}, 0}};
    for (const auto& c : cases) {
        MmxChannelBuffer buffer(64);
        buffer.setDelay(static_cast<int32_t>(c.history.size()));
        std::copy(c.history.begin(), c.history.end(), buffer.storage());
        EXPECT_EQ(buffer.isQuiet(), c.quiet) << ::testing::PrintToString(c.history);
    }
}

TEST(MmxChannelBuffer, ArrayRoutines) {
    EXPECT_EQ(findLoud16(std::vector<int16_t>{3, -12, 40}.data(), 10, 3), 1);
    EXPECT_EQ(findLoud16(std::vector<int16_t>{1, 2, 10}.data(), 10, 3), 2);
    EXPECT_EQ(findLoud16(std::vector<int16_t>{3, 4}.data(), 10, 2), -1);
    EXPECT_EQ(findLoud16(nullptr, 10, 0), -1);
    EXPECT_EQ(sumMagnitudes16(std::vector<int16_t>{-32768, -32768, -32768}.data(), 3), 98304);
    EXPECT_EQ(sumMagnitudes16(nullptr, 0), 0);
}

TEST(MmxChannelBuffer, NewBufferOutputsSilence) {
    MmxChannelBuffer left(1024);
    MmxChannelBuffer right(1024);
    std::vector<int16_t> out(2 * 300, 77);
    left.writeStereo16(&right, out.data(), 300);
    EXPECT_EQ(out, std::vector<int16_t>(600, 0));
    EXPECT_EQ(left.written(), 300);
    std::vector<uint8_t> bytes(300, 7);
    MmxChannelBuffer mono(1024);
    mono.writeMono8(bytes.data(), 300);
    EXPECT_EQ(bytes, std::vector<uint8_t>(300, 128));
}

TEST(MmxChannelBuffer, DelayLineOutputsTheImpulseLater) {
    MmxChannelBuffer buffer(1024 + 22);
    buffer.setDelay(22);
    std::vector<int16_t> impulse(64, 0);
    impulse[0] = -20000;
    fill(buffer, impulse);
    std::vector<int16_t> out(64);
    buffer.writeMono16(out.data(), 64);
    std::vector<int16_t> expected(64, 0);
    expected[22] = -20000;
    EXPECT_EQ(out, expected);
}

TEST(MmxChannelBuffer, HistoryCarriesOverOnlyAfterAFullyWrittenBlock) {
    MmxChannelBuffer buffer(16);
    buffer.setDelay(3);
    fill(buffer, {1, 2, 3, 4});
    std::vector<int16_t> out(4);
    buffer.writeMono16(out.data(), 4);
    EXPECT_EQ(out, (std::vector<int16_t>{0, 0, 0, 1}));
    buffer.advance(4);
    EXPECT_EQ(buffer.written(), 0);
    fill(buffer, {5, 6, 7, 8});
    buffer.writeMono16(out.data(), 4);
    EXPECT_EQ(out, (std::vector<int16_t>{2, 3, 4, 5}));
    buffer.advance(4);

    // A block that was not written to its full length leaves a silent history.
    fill(buffer, {9, 9});
    buffer.advance(4);
    buffer.writeMono16(out.data(), 4);
    EXPECT_EQ(out, (std::vector<int16_t>{0, 0, 0, 0}));
}

TEST(MmxChannelBuffer, ShortBlockMovesOverlappingHistory) {
    MmxChannelBuffer buffer(16);
    buffer.setDelay(5);
    std::copy_n(std::vector<int16_t>{10, 11, 12, 13, 14}.begin(), 5, buffer.storage());
    fill(buffer, {15, 16});
    buffer.advance(2);
    EXPECT_EQ(std::vector<int16_t>(buffer.storage(), buffer.storage() + 5),
              (std::vector<int16_t>{12, 13, 14, 15, 16}));
}

TEST(MmxChannelBuffer, MixBufferAddsWithSaturationAndCopiesBeyond) {
    MmxChannelBuffer mine(64);
    MmxChannelBuffer other(64);
    fill(mine, {1, 2, 30000, -30000});
    fill(other, {10, 20, 30000, -30000, 5, 6});
    mine.mixBuffer(&other, 8);
    EXPECT_EQ(mine.written(), 6);
    EXPECT_EQ(std::vector<int16_t>(mine.storage(), mine.storage() + 6),
              (std::vector<int16_t>{11, 22, 32767, -32768, 5, 6}));
}

TEST(MmxChannelBuffer, ScaledOperationsFollowTheGroupAndRemainderRules) {
    // 20 samples: positions 0-15 as a group, 16-19 one at a time, from position 0.
    std::vector<int16_t> values(20, 1001);
    MmxChannelBuffer buffer(64);
    fill(buffer, values);
    buffer.scale(0.5f, 64);
    const int64_t g = 16383;
    for (int i = 0; i < 20; ++i) {
        const int64_t expected =
            i < 16 ? 2 * test::floorDiv(1001 * g, 65536) : test::floorDiv(1001 * g, 32768);
        EXPECT_EQ(buffer.storage()[i], expected) << i;
    }

    // mixBufferScaled: the added positions [0, 3) and the copied positions [3, 20) each group
    // from their own start: 17 copied samples are one group and one remainder.
    MmxChannelBuffer mine(64);
    MmxChannelBuffer other(64);
    fill(mine, {100, 100, 100});
    fill(other, values);
    mine.mixBufferScaled(&other, 0.5f, 64);
    EXPECT_EQ(mine.written(), 20);
    for (int i = 0; i < 20; ++i) {
        int64_t expected;
        if (i < 3) {
            expected = 100 + test::floorDiv(1001 * g, 32768);
        } else if (i < 19) {
            expected = 2 * test::floorDiv(1001 * g, 65536);
        } else {
            expected = test::floorDiv(1001 * g, 32768);
        }
        EXPECT_EQ(mine.storage()[i], expected) << i;
    }
}

// Gains beyond +-1.0 do not fit the 16-bit format; they are applied exactly (floor(x * G / 32768)
// with G = trunc(gain * 32767)) and saturated, so a louder setting never comes out quieter.
TEST(MmxChannelBuffer, GainsBeyondUnityAreAppliedWithSaturation) {
    const std::vector<int16_t> input = {1000, -1000, 20000, -20000, 0, 32767, -32768};
    for (float gain : {1.5f, 2.0f, 3.98f, 16.0f, -2.0f, 1000.0f}) {
        MmxChannelBuffer buffer(64);
        buffer.mix16(input.data(), gain, 0.0f, 7, 0);
        const int64_t g = static_cast<int64_t>(std::trunc(static_cast<double>(gain) * 32767.0));
        for (std::size_t i = 0; i < input.size(); ++i) {
            EXPECT_EQ(buffer.storage()[i], test::clamp16(test::floorDiv(input[i] * g, 32768)))
                << "gain " << gain << " sample " << input[i];
        }
    }
}

TEST(MmxChannelBuffer, LouderSettingsNeverComeOutQuieter) {
    // Every input magnitude, for a sweep of gains from 0 to +24 dB: output grows with the gain.
    std::vector<int16_t> input;
    for (int x = 1; x <= 32767; x += 97) input.push_back(static_cast<int16_t>(x));
    const auto count = static_cast<int32_t>(input.size());
    std::vector<int16_t> previous(input.size(), 0);
    for (float db = 0.0f; db <= 24.0f; db += 0.5f) {
        MmxChannelBuffer buffer(4096);
        buffer.mix16(input.data(), std::pow(10.0f, db / 20.0f), 0.0f, count, 0);
        for (int32_t i = 0; i < count; ++i) {
            ASSERT_GE(buffer.storage()[i], previous[static_cast<std::size_t>(i)]) << db << " dB";
            previous[static_cast<std::size_t>(i)] = buffer.storage()[i];
        }
    }
}

TEST(MmxChannelBuffer, WideAdditionSaturatesOnlyTheExactSum) {
    MmxChannelBuffer buffer(64);
    fill(buffer, {-30000});
    const int16_t x = 20000;
    buffer.mix16(&x, 2.0f, 0.0f, 1, 0);  // -30000 + 39998, not -30000 + 32767
    EXPECT_EQ(buffer.storage()[0], -30000 + test::floorDiv(20000 * 65534, 32768));
}

TEST(MmxChannelBuffer, StepsBeyondTheFormatRampWithoutWrapping) {
    // Step 0.1 (Q15 3276, more than 2047) from 0 over 24 samples reaches about 2.3.
    const auto input = repeat(12000, 24);
    MmxChannelBuffer buffer(64);
    buffer.mix16(input.data(), 0.0f, 0.1f, 24, 0);
    for (int k = 0; k < 24; ++k) {
        const int64_t gain = 3276 * k;
        EXPECT_EQ(buffer.storage()[k], test::clamp16(test::floorDiv(12000 * gain, 32768))) << k;
    }
}

TEST(MmxChannelBuffer, ZeroGainStoresZerosAndCountsAsWritten) {
    MmxChannelBuffer buffer(64);
    const auto input = repeat(1234, 10);
    buffer.mix16(input.data(), 0.0f, 0.0f, 10, 0);
    EXPECT_EQ(buffer.written(), 10);
    EXPECT_EQ(std::vector<int16_t>(buffer.storage(), buffer.storage() + 10), repeat(0, 10));
}

}  // namespace
}  // namespace ve32
