#include "dsp/components/fpu/fpu_tap_delay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/components/fpu/fpu_channel_buffer.h"
#include "tests/dsp/components/fpu/fpu_test_support.h"

namespace ve32 {
namespace {

using test::fillBlock;
using test::makeBuffer;
using test::randomSignal;
using test::storageOf;

std::vector<float> historyOf(const FpuTapDelay& delay) {
    return std::vector<float>(delay.history, delay.history + delay.length);
}

TEST(FpuTapDelay, TwoTapsOverTwoBlocks) {
    const DelayTap taps[] = {{2, 1.0f}, {5, 0.5f}};
    FpuTapDelay delay(TapDelayParams{taps, 2});
    ASSERT_TRUE(delay.allocated());
    EXPECT_EQ(delay.length, 5);
    auto in = makeBuffer(4);
    auto out = makeBuffer(4);

    fillBlock(*in, {1, 2, 3, 4});
    delay.process(in.get(), out.get(), 4);
    EXPECT_EQ(storageOf(*out, 0, 4), (std::vector<float>{0, 0, 1, 2}));
    EXPECT_EQ(out->written, 4);
    in->advance(4);
    out->advance(4);

    fillBlock(*in, {5, 6, 7, 8});
    delay.process(in.get(), out.get(), 4);
    EXPECT_EQ(storageOf(*out, 0, 4), (std::vector<float>{3, 4.5f, 6, 7.5f}));
    EXPECT_EQ(delay.writePosition, 3);
    EXPECT_EQ(historyOf(delay), (std::vector<float>{6, 7, 8, 4, 5}));
}

TEST(FpuTapDelay, ZeroDelayTapScalesTheInput) {
    const DelayTap taps[] = {{0, -2.0f}};
    FpuTapDelay delay(TapDelayParams{taps, 1});
    EXPECT_EQ(delay.length, 0);
    auto in = makeBuffer(4);
    auto out = makeBuffer(4);
    fillBlock(*in, {1, 2, 3});
    fillBlock(*out, {10, 10, 10});
    delay.process(in.get(), out.get(), 3);
    EXPECT_EQ(storageOf(*out, 0, 3), (std::vector<float>{8, 6, 4}));
    // An empty history is always quiet.
    EXPECT_EQ(delay.isQuiet(), 1);
}

TEST(FpuTapDelay, TapAsLongAsTheHistoryReplaysThePreviousBlock) {
    const DelayTap taps[] = {{4, 1.0f}, {1, 0.0f}};
    FpuTapDelay delay(TapDelayParams{taps, 2});
    auto in = makeBuffer(8);
    auto out = makeBuffer(8);
    // Blocks of 3 then 4 leave the write position inside the history, so the replay wraps.
    fillBlock(*in, {1, 2, 3});
    delay.process(in.get(), out.get(), 3);
    fillBlock(*in, {4, 5, 6, 7});
    out->written = 0;
    delay.process(in.get(), out.get(), 4);
    EXPECT_EQ(storageOf(*out, 0, 4), (std::vector<float>{0, 1, 2, 3}));
    fillBlock(*in, {8, 9, 10, 11});
    out->written = 0;
    delay.process(in.get(), out.get(), 4);
    EXPECT_EQ(storageOf(*out, 0, 4), (std::vector<float>{4, 5, 6, 7}));

    // A block at least as long as the history leaves it in order, starting at 0.
    fillBlock(*in, {20, 21, 22, 23, 24, 25});
    out->written = 0;
    delay.process(in.get(), out.get(), 6);
    EXPECT_EQ(delay.writePosition, 0);
    EXPECT_EQ(historyOf(delay), (std::vector<float>{22, 23, 24, 25}));
}

TEST(FpuTapDelay, EmptyOutputWithHistoryRegion) {
    const DelayTap taps[] = {{0, 1.0f}, {0, 2.0f}};
    FpuTapDelay delay(TapDelayParams{taps, 2});
    auto in = makeBuffer(4);
    auto out = makeBuffer(4 + 2);
    out->setDelay(2);
    fillBlock(*in, {1, 2, 3, 4});
    out->written = 0;
    delay.process(in.get(), out.get(), 4);
    // The first tap stores over storage [0, 4), the second adds; [4, 6) becomes silence.
    EXPECT_EQ(storageOf(*out, 0, 6), (std::vector<float>{3, 6, 9, 12, 0, 0}));
    EXPECT_EQ(out->written, 4);
}

TEST(FpuTapDelay, PartlyWrittenOutputIsCompletedThenAddedTo) {
    const DelayTap taps[] = {{1, 1.0f}};
    FpuTapDelay delay(TapDelayParams{taps, 1});
    auto in = makeBuffer(4);
    auto out = makeBuffer(4);
    fillBlock(*in, {1, 2, 3, 4});
    fillBlock(*out, {100, 100});
    delay.process(in.get(), out.get(), 4);
    EXPECT_EQ(storageOf(*out, 0, 4), (std::vector<float>{100, 101, 2, 3}));
    EXPECT_EQ(out->written, 4);
}

TEST(FpuTapDelay, QuietInputLeavesTheOutputAlone) {
    const DelayTap taps[] = {{2, 1.0f}};
    FpuTapDelay delay(TapDelayParams{taps, 1});
    auto in = makeBuffer(4);
    auto out = makeBuffer(4);
    fillBlock(*out, {7, 7});
    delay.process(in.get(), out.get(), 4);
    EXPECT_EQ(out->written, 2);
    EXPECT_EQ(storageOf(*out, 0, 4), (std::vector<float>{7, 7, 9999.0f, 9999.0f}));
    EXPECT_EQ(in->written, 0);
}

TEST(FpuTapDelay, DelayedSignalArrivesAfterTheInputStops) {
    const DelayTap taps[] = {{6, 1.0f}};
    FpuTapDelay delay(TapDelayParams{taps, 1});
    auto in = makeBuffer(4);
    auto out = makeBuffer(4);
    fillBlock(*in, {0, 0, 0, 500});
    delay.process(in.get(), out.get(), 4);
    std::vector<float> arrived;
    for (int block = 0; block < 4; ++block) {
        in->advance(4);
        out->advance(4);
        delay.process(in.get(), out.get(), 4);
        if (out->written == 0) break;
        const auto samples = storageOf(*out, 0, 4);
        arrived.insert(arrived.end(), samples.begin(), samples.end());
    }
    // The 500 comes out 6 samples later; two blocks later the history is silent and the block is
    // skipped.
    EXPECT_EQ(arrived, (std::vector<float>{0, 0, 0, 0, 0, 500, 0, 0}));
    EXPECT_EQ(delay.isQuiet(), 1);
}

TEST(FpuTapDelay, MatchesTheDelayEquationOverManyBlocks) {
    const DelayTap taps[] = {{0, 0.5f}, {3, -0.25f}, {37, 0.75f}, {100, 0.125f}, {37, 1.0f}};
    FpuTapDelay delay(TapDelayParams{taps, 5});
    const auto signal = randomSignal(2000, 10000.0f, 5);
    auto in = makeBuffer(256);
    auto out = makeBuffer(256);
    const int32_t lengths[] = {1, 100, 37, 5, 256, 99, 0, 64};
    std::size_t position = 0;
    for (std::size_t b = 0; position < signal.size(); ++b) {
        const int32_t length = std::min<int32_t>(lengths[b % std::size(lengths)],
                                                 static_cast<int32_t>(signal.size() - position));
        fillBlock(
            *in, std::vector<float>(signal.begin() + position, signal.begin() + position + length));
        delay.process(in.get(), out.get(), length);
        for (int32_t k = 0; k < length; ++k) {
            double expected = 0.0;
            for (const DelayTap& tap : taps) {
                const std::ptrdiff_t source = static_cast<std::ptrdiff_t>(position) + k - tap.delay;
                if (source >= 0) expected += tap.gain * static_cast<double>(signal[source]);
            }
            ASSERT_NEAR(out->storage[k], expected, 0.01) << "sample " << position + k;
        }
        in->advance(length);
        out->advance(length);
        position += length;
    }
}

TEST(FpuTapDelay, DegenerateTapLists) {
    auto in = makeBuffer(4);
    auto out = makeBuffer(4);

    // No taps: nothing is added to the output.
    FpuTapDelay none(TapDelayParams{nullptr, 0});
    ASSERT_TRUE(none.allocated());
    fillBlock(*in, {1, 2, 3, 4});
    none.process(in.get(), out.get(), 4);
    EXPECT_EQ(out->written, 0);
    EXPECT_EQ(storageOf(*out, 0, 4), std::vector<float>(4, 9999.0f));

    // A negative delay counts as no delay.
    const DelayTap negative[] = {{-3, 2.0f}};
    FpuTapDelay early(TapDelayParams{negative, 1});
    EXPECT_EQ(early.length, 0);
    EXPECT_EQ(early.taps[0].delay, 0);
    early.process(in.get(), out.get(), 4);
    EXPECT_EQ(storageOf(*out, 0, 4), (std::vector<float>{2, 4, 6, 8}));
}

TEST(FpuTapDelay, ResetSilencesTheHistory) {
    const DelayTap taps[] = {{3, 1.0f}};
    FpuTapDelay delay(TapDelayParams{taps, 1});
    auto in = makeBuffer(4);
    auto out = makeBuffer(4);
    fillBlock(*in, {1, 2});
    delay.process(in.get(), out.get(), 2);
    EXPECT_EQ(delay.quiet, 0);
    delay.reset();
    EXPECT_EQ(historyOf(delay), std::vector<float>(3, 0.0f));
    EXPECT_EQ(delay.writePosition, 0);
    EXPECT_EQ(delay.quiet, 1);
}

}  // namespace
}  // namespace ve32
