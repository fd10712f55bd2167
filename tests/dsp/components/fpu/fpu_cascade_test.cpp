#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/components/fpu/fpu_array_routines.h"
#include "dsp/components/fpu/fpu_channel_buffer.h"
#include "dsp/components/fpu/fpu_pole_cascade.h"
#include "dsp/components/fpu/fpu_pole_zero_cascade.h"
#include "tests/dsp/components/fpu/fpu_test_support.h"

namespace ve32 {
namespace {

using test::fillBlock;
using test::makeBuffer;
using test::randomSignal;
using test::storageOf;

// Runs the filter over `signal` in blocks of the given lengths (cycled) and returns the output.
std::vector<float> runInBlocks(Filter& filter, const std::vector<float>& signal,
                               const std::vector<int32_t>& blockLengths) {
    auto buffer = makeBuffer(1024);
    std::vector<float> output;
    std::size_t position = 0;
    for (std::size_t b = 0; position < signal.size(); ++b) {
        const int32_t length = std::min<int32_t>(blockLengths[b % blockLengths.size()],
                                                 static_cast<int32_t>(signal.size() - position));
        fillBlock(*buffer, std::vector<float>(signal.begin() + position,
                                              signal.begin() + position + length));
        filter.process(buffer.get(), length);
        const auto block = storageOf(*buffer, 0, length);
        output.insert(output.end(), block.begin(), block.end());
        buffer->advance(length);
        position += length;
    }
    return output;
}

double peakOf(const std::vector<double>& values) {
    double peak = 0.0;
    for (double v : values) peak = std::max(peak, std::fabs(v));
    return peak;
}

// --- Pole-zero cascade --------------------------------------------------------------------------

// gain * prod (1 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2), each section in direct form I.
std::vector<double> poleZeroReference(const std::vector<float>& x, float gain,
                                      const std::vector<float>& coefficients) {
    std::vector<double> signal(x.begin(), x.end());
    for (double& v : signal) v *= gain;
    for (std::size_t s = 0; s < coefficients.size() / 4; ++s) {
        const double a1 = coefficients[4 * s], a2 = coefficients[4 * s + 1];
        const double b1 = coefficients[4 * s + 2], b2 = coefficients[4 * s + 3];
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : signal) {
            const double y = v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    return signal;
}

TEST(FpuPoleZeroCascade, MatchesTheTransferFunctionAcrossBlocks) {
    // A high-pass section (double zero at 0 Hz) followed by a resonant one.
    const std::vector<float> coefficients = {-1.8f, 0.85f, -2.0f, 1.0f, -1.6f, 0.81f, 0.5f, -0.25f};
    const PoleZeroParams params{-0.5f, 2, coefficients.data()};
    FpuPoleZeroCascade cascade(params);
    ASSERT_TRUE(cascade.allocated());

    std::vector<float> signal = randomSignal(600, 8000.0f, 1);
    signal[0] = 20000.0f;
    const auto output = runInBlocks(cascade, signal, {7, 1, 16, 40, 0, 255});
    const auto expected = poleZeroReference(signal, -0.5f, coefficients);
    const double tolerance = 1e-5 * peakOf(expected);
    for (std::size_t n = 0; n < signal.size(); ++n) {
        ASSERT_NEAR(output[n], expected[n], tolerance) << "sample " << n;
    }
}

// Every section over the whole block before the next, in direct form II as the section equation
// states, the history carried in double within a block and saved as floats.
void poleZeroSectionsInOrder(std::vector<float>& block, const float* coefficients, int sections,
                             std::vector<float>& state) {
    for (int s = 0; s < sections; ++s) {
        const double a1 = coefficients[4 * s], a2 = coefficients[4 * s + 1];
        const double b1 = coefficients[4 * s + 2], b2 = coefficients[4 * s + 3];
        double w1 = state[2 * s], w2 = state[2 * s + 1];
        for (float& sample : block) {
            const double w = sample - (a1 * w1 + a2 * w2);
            sample = static_cast<float>((b1 * w1 + b2 * w2) + w);
            w2 = w1;
            w1 = w;
        }
        state[2 * s] = static_cast<float>(w1);
        state[2 * s + 1] = static_cast<float>(w2);
    }
}

TEST(FpuPoleZeroCascade, BitExactSectionOrderAcrossBlocks) {
    const std::vector<float> coefficients = {-1.8f, 0.85f, -2.0f, 1.0f, -1.2f, 0.7f,  0.4f,
                                             0.3f,  0.5f,  0.3f,  1.0f, -0.2f, -1.5f, 0.6f,
                                             0.0f,  1.0f,  0.1f,  0.2f, 0.3f,  0.4f};
    for (int sections = 1; sections <= 5; ++sections) {
        SCOPED_TRACE(testing::Message() << sections << " sections");
        FpuPoleZeroCascade cascade(PoleZeroParams{0.75f, sections, coefficients.data()});
        std::vector<float> state(2 * sections, 0.0f);
        const auto signal = randomSignal(400, 10000.0f, 6);
        const std::vector<int32_t> lengths = {5, 8, 1, 3, 64, 2, 17};
        const auto output = runInBlocks(cascade, signal, lengths);

        std::size_t position = 0;
        for (std::size_t b = 0; position < signal.size(); ++b) {
            const std::size_t length =
                std::min<std::size_t>(lengths[b % lengths.size()], signal.size() - position);
            std::vector<float> block(signal.begin() + position, signal.begin() + position + length);
            for (float& v : block) v = v * 0.75f;
            poleZeroSectionsInOrder(block, coefficients.data(), sections, state);
            for (std::size_t i = 0; i < length; ++i) {
                ASSERT_EQ(output[position + i], block[i]) << "sample " << position + i;
            }
            position += length;
        }
        for (int i = 0; i < 2 * sections; ++i) EXPECT_EQ(cascade.state[i], state[i]);
    }
}

TEST(FpuPoleZeroCascade, HighPassRemovesAConstant) {
    // Poles at radius 0.995 near 0 Hz, double zero at 0 Hz.
    const double radius = 0.995, angle = 0.01;
    const std::vector<float> coefficients = {static_cast<float>(-2.0 * radius * std::cos(angle)),
                                             static_cast<float>(radius * radius), -2.0f, 1.0f};
    const PoleZeroParams params{1.0f, 1, coefficients.data()};
    FpuPoleZeroCascade cascade(params);
    const auto output = runInBlocks(cascade, std::vector<float>(8192, 10000.0f), {1024});
    EXPECT_GT(std::fabs(output[0]), 9000.0f);
    for (std::size_t n = 7168; n < output.size(); ++n) {
        ASSERT_LT(std::fabs(output[n]), 1.0f) << "sample " << n;
    }
}

TEST(FpuPoleZeroCascade, NegativeGainScalesTheBlockFirst) {
    const std::vector<float> identity = {0.0f, 0.0f, 0.0f, 0.0f};
    const PoleZeroParams params{-2.0f, 1, identity.data()};
    FpuPoleZeroCascade cascade(params);
    auto buffer = makeBuffer(8);
    fillBlock(*buffer, {1.0f, -3.0f, 0.25f});
    cascade.process(buffer.get(), 3);
    EXPECT_EQ(storageOf(*buffer, 0, 3), (std::vector<float>{-2.0f, 6.0f, -0.5f}));
}

TEST(FpuPoleZeroCascade, SavesItsHistoryAsFloats) {
    // w(n) = x(n) + 0.5 w(n-1): the impulse 3 leaves w1 = 3, w2 = 0 after one sample and
    // w1 = 1.5, w2 = 3 after two.
    const std::vector<float> onePole = {-0.5f, 0.0f, 0.0f, 0.0f};
    const PoleZeroParams params{1.0f, 1, onePole.data()};
    FpuPoleZeroCascade cascade(params);
    auto buffer = makeBuffer(4);
    fillBlock(*buffer, {3.0f, 0.0f});
    cascade.process(buffer.get(), 2);
    EXPECT_EQ(storageOf(*buffer, 0, 2), (std::vector<float>{3.0f, 1.5f}));
    EXPECT_EQ(cascade.state[0], 1.5f);
    EXPECT_EQ(cascade.state[1], 3.0f);
    cascade.reset();
    EXPECT_EQ(cascade.state[0], 0.0f);
    EXPECT_EQ(cascade.state[1], 0.0f);
    EXPECT_EQ(cascade.quiet, 1);
}

// --- Pole cascade -------------------------------------------------------------------------------

TEST(FpuPoleCascade, CoefficientsFromPolePairs) {
    struct Case {
        PolePair pair;
        int32_t sampleRate;
        double c1;
        double c2;
    };
    const Case cases[] = {
        {{1000.0f, 0.928f}, 44100, -1.837194, 0.8611839},
        {{1000.0f, 0.663f}, 8000, -0.9376236, 0.439569},
    };
    for (const Case& c : cases) {
        const PoleParams params{c.sampleRate, 1.0f, 1, &c.pair};
        FpuPoleCascade cascade(params);
        EXPECT_NEAR(cascade.coefficients[0], c.c1, 1e-6);
        EXPECT_NEAR(cascade.coefficients[1], c.c2, 1e-6);
    }
}

TEST(FpuPoleCascade, ImpulseResponseOfOneResonator) {
    const PolePair pair{1000.0f, 0.928f};
    const PoleParams params{44100, 1.0f, 1, &pair};
    FpuPoleCascade cascade(params);
    auto buffer = makeBuffer(64);
    std::vector<float> impulse(64, 0.0f);
    impulse[0] = 1.0f;
    fillBlock(*buffer, impulse);
    cascade.process(buffer.get(), 64);

    EXPECT_EQ(buffer->storage[0], 1.0f);
    EXPECT_NEAR(buffer->storage[1], 1.837194, 1e-6);
    EXPECT_NEAR(buffer->storage[2], 1.837194 * 1.837194 - 0.8611839, 1e-5);
    EXPECT_NEAR(buffer->storage[2], 2.5141, 1e-4);
    // y(n) = r^n sin((n + 1) w) / sin(w): the closed form of a two-pole resonator.
    const double r = std::sqrt(static_cast<double>(cascade.coefficients[1]));
    const double w = std::acos(-static_cast<double>(cascade.coefficients[0]) / (2.0 * r));
    for (int n = 0; n < 64; ++n) {
        const double expected = std::pow(r, n) * std::sin((n + 1) * w) / std::sin(w);
        EXPECT_NEAR(buffer->storage[n], expected, 1e-5) << "sample " << n;
    }
}

// Every section over the whole block before the next, in the operation order the section
// equation states: an odd first sample alone, then pairs, history saved as floats.
void poleSectionsInOrder(std::vector<float>& block, const float* coefficients, int sections,
                         std::vector<float>& state) {
    const std::size_t count = block.size();
    for (int s = 0; s < sections; ++s) {
        const double c1 = coefficients[2 * s], c2 = coefficients[2 * s + 1];
        double p1 = state[2 * s], p2 = state[2 * s + 1];
        std::size_t n = 0;
        if (count % 2 == 1) {
            const double y = block[0] - (c2 * p2 + c1 * p1);
            p2 = p1;
            p1 = y;
            block[0] = static_cast<float>(y);
            n = 1;
        }
        for (; n + 1 < count; n += 2) {
            const double y0 = (block[n] - c2 * p2) - c1 * p1;
            const double y1 = (block[n + 1] - c2 * p1) - c1 * y0;
            p2 = y0;
            p1 = y1;
            block[n] = static_cast<float>(y0);
            block[n + 1] = static_cast<float>(y1);
        }
        state[2 * s] = static_cast<float>(p1);
        state[2 * s + 1] = static_cast<float>(p2);
    }
}

TEST(FpuPoleCascade, BitExactOperationOrderOverOddAndEvenBlocks) {
    const std::vector<PolePair> pairs = {
        {400.0f, 0.95f}, {1200.0f, 0.9f}, {2500.0f, 0.85f}, {5000.0f, 0.7f}, {9000.0f, 0.6f}};
    for (int sections = 1; sections <= 5; ++sections) {
        SCOPED_TRACE(testing::Message() << sections << " sections");
        const PoleParams params{32000, -0.3f, sections, pairs.data()};
        FpuPoleCascade cascade(params);
        std::vector<float> state(2 * sections, 0.0f);
        const auto signal = randomSignal(400, 10000.0f, 2);
        const std::vector<int32_t> lengths = {5, 8, 1, 3, 64, 2, 17};
        const auto output = runInBlocks(cascade, signal, lengths);

        std::size_t position = 0;
        for (std::size_t b = 0; position < signal.size(); ++b) {
            const std::size_t length =
                std::min<std::size_t>(lengths[b % lengths.size()], signal.size() - position);
            std::vector<float> block(signal.begin() + position, signal.begin() + position + length);
            for (float& v : block) v = v * -0.3f;
            poleSectionsInOrder(block, cascade.coefficients, sections, state);
            for (std::size_t i = 0; i < length; ++i) {
                ASSERT_EQ(output[position + i], block[i]) << "sample " << position + i;
            }
            position += length;
        }
        for (int i = 0; i < 2 * sections; ++i) EXPECT_EQ(cascade.state[i], state[i]);
    }
}

// The grouping of the section equations shows when a large history term cancels the input: with
// c1 p1 = 2^-30, c2 p2 = 2^30 and x = 2^30, x - (c2 p2 + c1 p1) loses the small term to rounding
// and gives 0, while (x - c2 p2) - c1 p1 gives -2^-30. An odd block computes its first sample
// alone with the first grouping; every other sample belongs to a pair.
TEST(FpuPoleCascade, OddBlockComputesItsFirstSampleAlone) {
    const float big = std::ldexp(1.0f, 30);
    const float small = std::ldexp(1.0f, -30);
    struct Case {
        int32_t count;
        float firstOutput;
    };
    for (const Case& c : {Case{1, 0.0f}, Case{2, -small}, Case{3, 0.0f}, Case{4, -small}}) {
        const PolePair pair{1000.0f, 0.5f};
        FpuPoleCascade cascade(PoleParams{8000, 1.0f, 1, &pair});
        cascade.coefficients[0] = 1.0f;  // c1
        cascade.coefficients[1] = 1.0f;  // c2
        cascade.state[0] = small;        // y(n-1)
        cascade.state[1] = big;          // y(n-2)
        cascade.quiet = 0;
        auto buffer = makeBuffer(4);
        std::vector<float> block(c.count, 0.0f);
        block[0] = big;
        fillBlock(*buffer, block);
        cascade.process(buffer.get(), c.count);
        EXPECT_EQ(buffer->storage[0], c.firstOutput) << "block of " << c.count;
    }
}

TEST(FpuPoleZeroCascade, FeedbackTermsAreSummedBeforeTheySubtract) {
    // w = x - (a1 w1 + a2 w2) with a1 w1 = 2^30, a2 w2 = 2^-30, x = 2^30: the small term is lost
    // in the sum and w = 0; y = (b1 w1 + b2 w2) + w = 0 with b1 = b2 = 0.
    const std::vector<float> coefficients = {1.0f, 1.0f, 0.0f, 0.0f};
    FpuPoleZeroCascade cascade(PoleZeroParams{1.0f, 1, coefficients.data()});
    cascade.state[0] = std::ldexp(1.0f, 30);
    cascade.state[1] = std::ldexp(1.0f, -30);
    cascade.quiet = 0;
    auto buffer = makeBuffer(2);
    fillBlock(*buffer, {std::ldexp(1.0f, 30)});
    cascade.process(buffer.get(), 1);
    EXPECT_EQ(buffer->storage[0], 0.0f);
    EXPECT_EQ(cascade.state[0], 0.0f);
    EXPECT_EQ(cascade.state[1], std::ldexp(1.0f, 30));
}

TEST(FpuPoleCascade, FoldGainMovesTheGainIntoTheBuffer) {
    const PolePair pair{1000.0f, 0.5f};
    const PoleParams params{8000, -4.0f, 1, &pair};
    FpuPoleCascade folded(params);
    FpuPoleCascade plain(params);
    auto foldedBuffer = makeBuffer(8);
    auto plainBuffer = makeBuffer(8);
    folded.foldGain(foldedBuffer.get());
    EXPECT_EQ(foldedBuffer->inputScale, -4.0f);
    EXPECT_EQ(folded.applyGain, 0);

    const int16_t samples[] = {100, -200, 300, 50, 7};
    foldedBuffer->mix16(samples, 0.5f, 0.0f, 5, 0);
    plainBuffer->mix16(samples, 0.5f, 0.0f, 5, 0);
    folded.process(foldedBuffer.get(), 5);
    plain.process(plainBuffer.get(), 5);
    EXPECT_EQ(storageOf(*foldedBuffer, 0, 5), storageOf(*plainBuffer, 0, 5));

    folded.unfoldGain(foldedBuffer.get());
    EXPECT_EQ(foldedBuffer->inputScale, 1.0f);
    EXPECT_EQ(folded.applyGain, 1);

    const std::vector<float> identity = {0.0f, 0.0f, 0.0f, 0.0f};
    const PoleZeroParams poleZeroParams{0.25f, 1, identity.data()};
    FpuPoleZeroCascade poleZero(poleZeroParams);
    poleZero.foldGain(foldedBuffer.get());
    EXPECT_EQ(foldedBuffer->inputScale, 0.25f);
    EXPECT_EQ(poleZero.applyGain, 0);
    poleZero.unfoldGain(foldedBuffer.get());
    EXPECT_EQ(foldedBuffer->inputScale, 1.0f);
    EXPECT_EQ(poleZero.applyGain, 1);
}

// --- Block protocol, shared by both cascades ----------------------------------------------------

struct CascadeUnderTest {
    const char* name;
    std::unique_ptr<Filter> filter;
    const float* state;
    int32_t stateSize;
    const int32_t* quiet;
};

std::vector<CascadeUnderTest> makeCascades() {
    static const std::vector<float> poleZeroCoefficients = {-1.9f, 0.95f, -2.0f, 1.0f};
    static const std::vector<PolePair> pairs = {{700.0f, 0.97f}, {2000.0f, 0.9f}};
    std::vector<CascadeUnderTest> cascades;
    auto* poleZero = new FpuPoleZeroCascade(PoleZeroParams{0.8f, 1, poleZeroCoefficients.data()});
    cascades.push_back(
        {"pole-zero", std::unique_ptr<Filter>(poleZero), poleZero->state, 2, &poleZero->quiet});
    auto* pole = new FpuPoleCascade(PoleParams{22050, -0.5f, 2, pairs.data()});
    cascades.push_back({"pole", std::unique_ptr<Filter>(pole), pole->state, 4, &pole->quiet});
    return cascades;
}

TEST(FpuCascadeBlocks, UnwrittenBlockReachingAQuietCascadeIsLeftAlone) {
    for (auto& c : makeCascades()) {
        SCOPED_TRACE(c.name);
        auto buffer = makeBuffer(16);
        c.filter->process(buffer.get(), 16);
        EXPECT_EQ(buffer->written, 0);
        EXPECT_EQ(storageOf(*buffer, 0, 16), std::vector<float>(16, 9999.0f));
    }
}

TEST(FpuCascadeBlocks, CountZeroTouchesNothingButMakesTheCascadeActive) {
    for (auto& c : makeCascades()) {
        SCOPED_TRACE(c.name);
        auto buffer = makeBuffer(4);
        c.filter->process(buffer.get(), 0);
        EXPECT_EQ(buffer->written, 0);
        EXPECT_EQ(storageOf(*buffer, 0, 4), std::vector<float>(4, 9999.0f));
        // Active again: the quiet test measures the (silent) history instead of answering from
        // the flag.
        EXPECT_EQ(*c.quiet, 0);
        EXPECT_EQ(c.filter->isQuiet(), 1);
    }
}

TEST(FpuCascadeBlocks, PartlyWrittenBlockIsCompletedAndFiltered) {
    for (auto& c : makeCascades()) {
        SCOPED_TRACE(c.name);
        auto partly = makeBuffer(32);
        fillBlock(*partly, {1000.0f, 500.0f});
        c.filter->process(partly.get(), 32);
        EXPECT_EQ(partly->written, 32);

        c.filter->reset();
        auto full = makeBuffer(32);
        std::vector<float> block(32, 0.0f);
        block[0] = 1000.0f;
        block[1] = 500.0f;
        fillBlock(*full, block);
        c.filter->process(full.get(), 32);
        EXPECT_EQ(storageOf(*partly, 0, 32), storageOf(*full, 0, 32));
    }
}

TEST(FpuCascadeBlocks, TailIsWrittenUntilTheHistoryIsQuiet) {
    for (auto& c : makeCascades()) {
        SCOPED_TRACE(c.name);
        auto buffer = makeBuffer(64);
        fillBlock(*buffer, std::vector<float>(64, 3000.0f));
        c.filter->process(buffer.get(), 64);
        buffer->advance(64);

        int tailBlocks = 0;
        while (true) {
            const float before = sumMagnitudes(c.state, c.stateSize);
            c.filter->process(buffer.get(), 64);
            if (buffer->written == 0) {
                // Skipped: the history had decayed to one step or less, and stays as it was.
                EXPECT_LE(before, 1.0f);
                EXPECT_EQ(sumMagnitudes(c.state, c.stateSize), before);
                break;
            }
            ASSERT_GT(before, 1.0f);
            ASSERT_LT(++tailBlocks, 1000);
            buffer->advance(64);
        }
        EXPECT_GT(tailBlocks, 0);
        EXPECT_EQ(c.filter->isQuiet(), 1);
        // Later silent blocks stay skipped.
        c.filter->process(buffer.get(), 64);
        EXPECT_EQ(buffer->written, 0);
    }
}

}  // namespace
}  // namespace ve32
