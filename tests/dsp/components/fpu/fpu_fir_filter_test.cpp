#include "dsp/components/fpu/fpu_fir_filter.h"

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

// y(n) = sum over k of b[k] x(n - k), on a plain linear signal with zeros before it; the products
// are added in increasing k in double and the sum rounded once, so the result is exact.
std::vector<float> convolve(const std::vector<float>& x, const std::vector<float>& b) {
    std::vector<float> y(x.size());
    for (std::size_t n = 0; n < x.size(); ++n) {
        double sum = 0.0;
        for (std::size_t k = 0; k < b.size(); ++k) {
            const double input = n >= k ? x[n - k] : 0.0;
            sum += input * static_cast<double>(b[k]);
        }
        y[n] = static_cast<float>(sum);
    }
    return y;
}

TEST(FpuFirFilter, ImpulseResponseIsTheCoefficientList) {
    const auto coefficients = randomSignal(45, 1.0f, 3);
    FpuFirFilter filter(FirParams{coefficients.data(), 45});
    ASSERT_TRUE(filter.allocated());
    auto buffer = makeBuffer(64);
    std::vector<float> impulse(64, 0.0f);
    impulse[0] = 1000.0f;
    fillBlock(*buffer, impulse);
    filter.process(buffer.get(), 64);
    for (int k = 0; k < 64; ++k) {
        const float expected = k < 45 ? static_cast<float>(1000.0 * coefficients[k]) : 0.0f;
        EXPECT_EQ(buffer->storage[k], expected) << "sample " << k;
    }
}

TEST(FpuFirFilter, MatchesTheConvolutionAcrossBlocksAndWraps) {
    for (int32_t taps : {1, 2, 3, 4, 5, 7, 45}) {
        SCOPED_TRACE(testing::Message() << taps << " taps");
        const auto coefficients = randomSignal(taps, 1.0f, 10 + taps);
        FpuFirFilter filter(FirParams{coefficients.data(), taps});
        const auto signal = randomSignal(3000, 30000.0f, 4);
        const auto expected = convolve(signal, coefficients);

        auto buffer = makeBuffer(1024);
        const int32_t lengths[] = {1, 3, 4, 5, 17, 45, 64, 0, 1024, 2, 1023};
        std::size_t position = 0;
        for (std::size_t b = 0; position < signal.size(); ++b) {
            const int32_t length = std::min<int32_t>(
                lengths[b % std::size(lengths)], static_cast<int32_t>(signal.size() - position));
            fillBlock(*buffer, std::vector<float>(signal.begin() + position,
                                                  signal.begin() + position + length));
            filter.process(buffer.get(), length);
            for (int32_t i = 0; i < length; ++i) {
                ASSERT_EQ(buffer->storage[i], expected[position + i]) << "sample " << position + i;
            }
            buffer->advance(length);
            position += length;
        }
    }
}

TEST(FpuFirFilter, PartlyWrittenBlockIsCompletedWithSilence) {
    const std::vector<float> coefficients = {0.5f, 0.25f, 0.125f};
    FpuFirFilter filter(FirParams{coefficients.data(), 3});
    auto buffer = makeBuffer(8);
    fillBlock(*buffer, {8.0f});
    filter.process(buffer.get(), 5);
    EXPECT_EQ(storageOf(*buffer, 0, 6), (std::vector<float>{4, 2, 1, 0, 0, 9999.0f}));
    EXPECT_EQ(buffer->written, 5);
}

TEST(FpuFirFilter, QuietOnlyWhenTheNewestInputsAreNearSilence) {
    const std::vector<float> coefficients = {1.0f, 1.0f, 1.0f};
    struct Case {
        std::vector<float> block;
        int32_t quiet;
    };
    const std::vector<Case> cases = {
        {{0.5f, 0.25f, 0.25f}, 1},       {{0.5f, 0.25f, 0.5f}, 0},
        {{100.0f, 0.0f, 0.0f, 0.0f}, 1},  // the large input is no longer among the newest three
        {{100.0f, 0.0f, 0.0f}, 0},       {{}, 1},
    };
    for (const Case& c : cases) {
        FpuFirFilter filter(FirParams{coefficients.data(), 3});
        auto buffer = makeBuffer(8);
        fillBlock(*buffer, c.block);
        filter.process(buffer.get(), static_cast<int32_t>(c.block.size()));
        EXPECT_EQ(filter.quiet, 0);
        EXPECT_EQ(filter.isQuiet(), c.quiet) << "block of " << c.block.size();
    }
}

TEST(FpuFirFilter, TailIsWrittenThenSilentBlocksAreSkipped) {
    const std::vector<float> coefficients = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    FpuFirFilter filter(FirParams{coefficients.data(), 5});
    auto buffer = makeBuffer(8);
    fillBlock(*buffer, {0, 0, 0, 0, 0, 0, 0, 1000.0f});
    filter.process(buffer.get(), 8);
    buffer->advance(8);

    // The first silent block carries the ring-out of the last input.
    filter.process(buffer.get(), 8);
    EXPECT_EQ(storageOf(*buffer, 0, 8), (std::vector<float>{500, 500, 500, 500, 0, 0, 0, 0}));
    buffer->advance(8);
    // Now the newest five inputs are silent: the block is skipped and stays unwritten.
    std::fill(buffer->storage, buffer->storage + 8, 9999.0f);
    filter.process(buffer.get(), 8);
    EXPECT_EQ(buffer->written, 0);
    EXPECT_EQ(storageOf(*buffer, 0, 8), std::vector<float>(8, 9999.0f));
}

TEST(FpuFirFilter, CountZeroAndResetTouchNothingInTheBuffer) {
    const std::vector<float> coefficients = {1.0f, 2.0f};
    FpuFirFilter filter(FirParams{coefficients.data(), 2});
    auto buffer = makeBuffer(4);
    filter.process(buffer.get(), 0);
    EXPECT_EQ(filter.quiet, 0);
    EXPECT_EQ(buffer->written, 0);
    EXPECT_EQ(storageOf(*buffer, 0, 4), std::vector<float>(4, 9999.0f));

    fillBlock(*buffer, {3.0f});
    filter.process(buffer.get(), 1);
    filter.reset();
    EXPECT_EQ(filter.position, 1);
    EXPECT_EQ(filter.quiet, 1);
    fillBlock(*buffer, {1.0f, 0.0f});
    filter.process(buffer.get(), 2);
    EXPECT_EQ(storageOf(*buffer, 0, 2), (std::vector<float>{1.0f, 2.0f}));
}

}  // namespace
}  // namespace ve32
