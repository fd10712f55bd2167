#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <random>
#include <vector>

#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "dsp/components/mmx/mmx_fir_filter.h"
#include "tests/dsp/components/mmx/reference_model.h"

namespace ve32 {
namespace {

using test::clamp16;
using test::floorDiv;
using test::wrap32;

void writeBlock(MmxChannelBuffer& buffer, const std::vector<int16_t>& block) {
    buffer.zeroFillTo(static_cast<int32_t>(block.size()));
    std::copy(block.begin(), block.end(), buffer.storage());
}

std::vector<int16_t> filter(MmxFirFilter& fir, MmxChannelBuffer& buffer,
                            const std::vector<int16_t>& block) {
    writeBlock(buffer, block);
    fir.process(&buffer, static_cast<int32_t>(block.size()));
    std::vector<int16_t> out(buffer.storage(), buffer.storage() + block.size());
    buffer.advance(static_cast<int32_t>(block.size()));
    return out;
}

// A second statement of the convolution: products are paired from tap 0 when the sample's ring
// position is even and from tap -1 (a zero coefficient) when it is odd, which is where the
// aligned window puts the pair boundaries.
class ReferenceFir {
  public:
    explicit ReferenceFir(const std::vector<float>& b) : position_(static_cast<int>(b.size()) - 1) {
        for (float v : b) q_.push_back(static_cast<int64_t>(std::trunc(double{v} * 32767.0 + 0.5)));
    }
    int16_t next(int16_t x) {
        inputs_.push_front(x);
        const int n = static_cast<int>(q_.size());
        const auto coefficient = [&](int k) {
            return k < 0 || k >= n ? 0 : q_[static_cast<std::size_t>(k)];
        };
        const auto input = [&](int k) {
            return k < 0 || k >= static_cast<int>(inputs_.size())
                       ? 0
                       : int64_t{inputs_[static_cast<std::size_t>(k)]};
        };
        int64_t sum = 0;
        for (int k = position_ % 2 == 0 ? 0 : -1; k < n; k += 2) {
            sum = wrap32(sum + floorDiv(wrap32(coefficient(k) * input(k) +
                                               coefficient(k + 1) * input(k + 1)),
                                        32768));
        }
        position_ = position_ == 0 ? n - 1 : position_ - 1;
        if (inputs_.size() > q_.size()) inputs_.pop_back();
        return static_cast<int16_t>(clamp16(sum));
    }

  private:
    std::vector<int64_t> q_;
    std::deque<int16_t> inputs_;
    int position_;
};

TEST(MmxFirFilter, LayoutOfFortyFiveTaps) {
    std::vector<float> b(45, 0.0f);
    b[0] = 0.5f, b[1] = -0.5f, b[2] = 1.0f;
    MmxFirFilter fir({b.data(), 45});
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(fir.layout().phaseLengths[r], 48);
        const int16_t* copy = fir.layout().phaseCoefficients[r];
        for (int k = 0; k < r; ++k) EXPECT_EQ(copy[k], 0);
        EXPECT_EQ(copy[r], 16384);
        EXPECT_EQ(copy[r + 1], -16383);
        EXPECT_EQ(copy[r + 2], 32767);
        for (int k = r + 45; k < 48; ++k) EXPECT_EQ(copy[k], 0);
    }
    EXPECT_EQ(fir.position(), 44);
}

TEST(MmxFirFilter, ConstantFullScaleInputRampsUpAndSaturates) {
    const std::vector<float> b(45, 0.1f);  // Q15 3277
    MmxFirFilter fir({b.data(), 45});
    MmxChannelBuffer buffer(1024);
    const auto out = filter(fir, buffer, std::vector<int16_t>(20, 32767));
    const std::vector<int16_t> rising = {3276,  6552,  9829,  13105, 16382,
                                         19658, 22935, 26211, 29488, 32764};
    for (std::size_t i = 0; i < rising.size(); ++i) EXPECT_EQ(out[i], rising[i]) << i;
    for (std::size_t i = rising.size(); i < out.size(); ++i) EXPECT_EQ(out[i], 32767) << i;
}

TEST(MmxFirFilter, MatchesTheSecondFormulationToTheBit) {
    std::mt19937 random(9);
    for (int taps : {45, 1, 2, 3, 4, 16, 17, 63}) {
        std::vector<float> b(static_cast<std::size_t>(taps));
        for (auto& v : b) v = std::uniform_real_distribution<float>(-0.6f, 0.6f)(random);
        if (taps > 2) b[1] = 1.0f, b[2] = -1.0f;
        MmxFirFilter fir({b.data(), taps});
        ReferenceFir model(b);
        MmxChannelBuffer buffer(1100);
        for (int block = 0; block < 12; ++block) {
            const int count = std::uniform_int_distribution<int>(0, 1024)(random);
            std::vector<int16_t> input(static_cast<std::size_t>(count));
            for (auto& x : input) {
                const int kind = std::uniform_int_distribution<int>(0, 9)(random);
                x = kind == 0   ? -32768
                    : kind == 1 ? 32767
                                : static_cast<int16_t>(
                                      std::uniform_int_distribution<int>(-32768, 32767)(random));
            }
            std::vector<int16_t> expected;
            for (int16_t x : input) expected.push_back(model.next(x));
            ASSERT_EQ(filter(fir, buffer, input), expected) << taps << " taps, block " << block;
        }
    }
}

TEST(MmxFirFilter, QuietWhenTheRecentInputsSumToTenOrLess) {
    const std::vector<float> b(5, 0.2f);
    const struct {
        std::vector<int16_t> recent;
        int32_t quiet;
    } cases[] = {{{1000, 2, 2, 2, 2, 2}, 1},
                 {{1000, 2, 2, 2, 2, 3}, 0},
                 {{4, -4, 2, 0, 0}, 1},
                 {{0, 0, 0, 0, -11}, 0}};
    for (const auto& c : cases) {
        MmxFirFilter fir({b.data(), 5});
        MmxChannelBuffer buffer(16);
        filter(fir, buffer, c.recent);
        EXPECT_EQ(fir.isQuiet(), c.quiet) << ::testing::PrintToString(c.recent);
    }
}

TEST(MmxFirFilter, ControlFlow) {
    const std::vector<float> b = {0.5f, 0.25f, 0.125f};
    MmxFirFilter fir({b.data(), 3});
    MmxChannelBuffer buffer(64);
    fir.process(&buffer, 64);  // quiet, nothing written: skipped
    EXPECT_EQ(buffer.written(), 0);
    fir.process(&buffer, 0);  // count 0: nothing touched, but active
    EXPECT_EQ(buffer.written(), 0);
    EXPECT_EQ(fir.isQuiet(), 1);  // ... and the history is silent, so quiet again

    // An impulse written to 1 of 8 samples: zero-filled, then the impulse response follows.
    writeBlock(buffer, {16000});
    fir.process(&buffer, 8);
    EXPECT_EQ(buffer.written(), 8);
    EXPECT_EQ(std::vector<int16_t>(buffer.storage(), buffer.storage() + 8),
              (std::vector<int16_t>{8000, 4000, 2000, 0, 0, 0, 0, 0}));
    buffer.advance(8);
    fir.process(&buffer, 8);  // the history no longer holds the impulse: quiet, skipped
    EXPECT_EQ(buffer.written(), 0);
}

}  // namespace
}  // namespace ve32
