#include <gtest/gtest.h>

#include <vector>

#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "dsp/components/mmx/mmx_tap_delay.h"
#include "tests/dsp/components/mmx/reference_model.h"

namespace ve32 {
namespace {

using test::floorDiv;

void writeBlock(MmxChannelBuffer& buffer, const std::vector<int16_t>& block) {
    buffer.zeroFillTo(static_cast<int32_t>(block.size()));
    std::copy(block.begin(), block.end(), buffer.storage());
}

std::vector<int16_t> contents(const MmxChannelBuffer& buffer, int count) {
    return {buffer.storage(), buffer.storage() + count};
}

TEST(MmxTapDelay, SegmentsGroupByWholeSixteensThenOneAtATime) {
    // Gain 0.5 is Q15 16384: inside a group 2 * floor(3 * 16384 / 65536) = 0, in the remainder
    // floor(3 * 16384 / 32768) = 1. A segment of 20 is one group of 16 and a remainder of 4.
    const DelayTap tap{0, 0.5f};
    MmxTapDelay delay({&tap, 1});
    EXPECT_EQ(delay.taps()[0].gain, 16384);
    MmxChannelBuffer in(64), out(64);
    writeBlock(in, std::vector<int16_t>(20, 3));
    delay.process(&in, &out, 20);
    std::vector<int16_t> expected(16, 0);
    expected.insert(expected.end(), 4, 1);
    EXPECT_EQ(contents(out, 20), expected);
    EXPECT_EQ(out.written(), 20);
}

TEST(MmxTapDelay, TwoTapsAcrossBlocks) {
    const DelayTap taps[] = {{2, 1.0f}, {5, 0.5f}};  // Q15 32767 and 16384
    MmxTapDelay delay({taps, 2});
    EXPECT_EQ(delay.length(), 5);
    MmxChannelBuffer in(16), out(16);
    // Every segment here is shorter than 16, so every sample takes the one-at-a-time formula.
    const auto one = [](int64_t x, int64_t g) { return floorDiv(x * g, 32768); };

    writeBlock(in, {1, 2, 3, 4});
    delay.process(&in, &out, 4);
    EXPECT_EQ(contents(out, 4), (std::vector<int16_t>{0, 0, static_cast<int16_t>(one(1, 32767)),
                                                      static_cast<int16_t>(one(2, 32767))}));
    in.advance(4);
    out.advance(4);

    writeBlock(in, {5, 6, 7, 8});
    delay.process(&in, &out, 4);
    std::vector<int16_t> expected;
    const int64_t x[] = {0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};  // x[t + 3] is input t
    for (int k = 4; k < 8; ++k) {
        expected.push_back(
            static_cast<int16_t>(one(x[k + 3 - 2], 32767) + one(x[k + 3 - 5], 16384)));
    }
    EXPECT_EQ(contents(out, 4), expected);
    EXPECT_EQ(delay.writePosition(), 3);
    EXPECT_EQ(std::vector<int16_t>(delay.history(), delay.history() + 5),
              (std::vector<int16_t>{6, 7, 8, 4, 5}));
}

TEST(MmxTapDelay, LongBlockRefillsTheWholeHistory) {
    const DelayTap tap{3, 0.25f};
    MmxTapDelay delay({&tap, 1});
    MmxChannelBuffer in(64), out(64);
    writeBlock(in, {1, 2, 3, 4, 5, 6, 7});
    delay.process(&in, &out, 7);
    EXPECT_EQ(delay.writePosition(), 0);
    EXPECT_EQ(std::vector<int16_t>(delay.history(), delay.history() + 3),
              (std::vector<int16_t>{5, 6, 7}));
}

TEST(MmxTapDelay, QuietTestLooksForASampleOfTenOrMore) {
    const struct {
        std::vector<int16_t> history;
        int32_t quiet;
    } cases[] = {{{9, -9, 0}, 1}, {{0, 10}, 0}, {{-10, 0}, 0}};
    for (const auto& c : cases) {
        const DelayTap tap{static_cast<int32_t>(c.history.size()), 0.5f};
        MmxTapDelay delay({&tap, 1});
        MmxChannelBuffer in(16), out(16);
        writeBlock(in, c.history);
        delay.process(&in, &out, static_cast<int32_t>(c.history.size()));
        EXPECT_EQ(delay.isQuiet(), c.quiet) << ::testing::PrintToString(c.history);
    }
    // Only zero delays: no history, always quiet.
    const DelayTap direct{0, 1.0f};
    MmxTapDelay none({&direct, 1});
    EXPECT_EQ(none.length(), 0);
    EXPECT_EQ(none.isQuiet(), 1);
}

TEST(MmxTapDelay, OutputModes) {
    const DelayTap tap{1, 0.5f};
    MmxTapDelay delay({&tap, 1});
    MmxChannelBuffer in(64), out(64);
    out.setDelay(3);
    std::fill(out.storage(), out.storage() + 64, int16_t{555});
    writeBlock(in, std::vector<int16_t>(8, 1000));
    delay.process(&in, &out, 8);
    // Empty output with delay 3: storage[0, 8) receives the tap, storage[8, 11) becomes zero.
    EXPECT_EQ(out.written(), 8);
    EXPECT_EQ(out.storage()[0], 0);
    EXPECT_EQ(out.storage()[1], floorDiv(1000 * 16384, 32768));
    EXPECT_EQ(contents(out, 12)[8], 0);
    EXPECT_EQ(contents(out, 12)[10], 0);
    EXPECT_EQ(contents(out, 12)[11], 555);

    // Output already written to count: the tap adds.
    delay.process(&in, &out, 8);
    EXPECT_EQ(out.storage()[0], floorDiv(1000 * 16384, 32768));  // history sample 1000
    EXPECT_EQ(out.storage()[1], 2 * floorDiv(1000 * 16384, 32768));
}

TEST(MmxTapDelay, SilentInputReachingAQuietDelayLineChangesNothing) {
    const DelayTap tap{4, 0.5f};
    MmxTapDelay delay({&tap, 1});
    MmxChannelBuffer in(16), out(16);
    writeBlock(out, {1, 2, 3});
    delay.process(&in, &out, 8);
    EXPECT_EQ(out.written(), 3);
    EXPECT_EQ(contents(out, 3), (std::vector<int16_t>{1, 2, 3}));
    EXPECT_EQ(in.written(), 0);
}

TEST(MmxTapDelay, GainsBeyondUnityAndNegativeDelays) {
    // 2.0 is Q15 65534: applied exactly with saturation rather than wrapping to -2.
    // A negative delay counts as 0.
    const DelayTap taps[] = {{-3, 2.0f}};
    MmxTapDelay delay({taps, 1});
    EXPECT_EQ(delay.taps()[0].delay, 0);
    EXPECT_EQ(delay.taps()[0].gain, 65534);
    MmxChannelBuffer in(16), out(16);
    writeBlock(in, {1000, -1000, 20000, -20000});
    delay.process(&in, &out, 4);
    EXPECT_EQ(contents(out, 4),
              (std::vector<int16_t>{static_cast<int16_t>(floorDiv(1000 * 65534, 32768)),
                                    static_cast<int16_t>(floorDiv(-1000 * 65534, 32768)), 32767,
                                    -32768}));
}

TEST(MmxTapDelay, NoTapsGiveSilence) {
    MmxTapDelay delay({nullptr, 0});
    MmxChannelBuffer in(16), out(16);
    std::fill(out.storage(), out.storage() + 16, int16_t{99});
    writeBlock(in, {5, 5, 5, 5});
    delay.process(&in, &out, 4);
    EXPECT_EQ(contents(out, 4), std::vector<int16_t>(4, 0));
}

}  // namespace
}  // namespace ve32
