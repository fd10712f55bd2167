#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "dsp/components/mmx/mmx_pole_cascade.h"
#include "tests/dsp/components/mmx/reference_model.h"

namespace ve32 {
namespace {

using test::clamp16;
using test::floorDiv;
using test::wrap32;

int64_t q13(double v) {
    return static_cast<int64_t>(std::trunc(v * 8192.0 + 0.5));
}
int64_t q14(double v) {
    return static_cast<int64_t>(std::trunc(v * 16384.0 + 0.5));
}

// The stereo expander's pole-pair shaping table (gain before its factor of 4).
struct TableEntry {
    int rate;
    float gain;
    std::vector<PolePair> pairs;
};
const std::vector<TableEntry>& poleTable() {
    static const std::vector<TableEntry> table = {
        {8000, -0.65857774f, {{1000, 0.663f}, {3150, 0.3843f}}},
        {11025, -0.6160369f, {{961.14f, 0.743f}, {3065, 0.5143f}, {4761.87f, 0.4292f}}},
        {12000, -0.60714525f, {{1000, 0.743f}, {3336.05f, 0.5243f}, {5215.78f, 0.4392f}}},
        {16000, -0.21190035f, {{1002.77f, 0.8190636f}, {2999.93f, 0.699f}, {4316.26f, 0.84f}}},
        {22050, -0.079221964f, {{4600, 0.785f}, {5500, 0.84f}, {3050, 0.755f}, {1000, 0.865f}}},
        {24000,
         -0.035440393f,
         {{1045.79f, 0.8690636f}, {3124.79f, 0.8014045f}, {4335.34f, 0.9165f}}},
        {32000, -0.007734122f, {{1049, 0.897f}, {3200, 0.845f}, {4250, 0.926f}}},
        {44100,
         -0.00056811573f,
         {{1000, 0.928f}, {3000, 0.868f}, {4343.17f, 0.913f}, {5285.6f, 0.962f}}},
        {48000, -0.00074132f, {{1029.58f, 0.9305235f}, {3073.91f, 0.9f}, {4213.68f, 0.962f}}},
    };
    return table;
}

PoleParams recordOf(const TableEntry& entry) {
    return {entry.rate, entry.gain * 4.0f, static_cast<int32_t>(entry.pairs.size()),
            entry.pairs.data()};
}

// Denominator 1 + c1 z^-1 + c2 z^-2 of a pole pair, each rounded to float.
std::pair<float, float> denominator(const PolePair& pair, int rate) {
    const double angle = double{pair.frequency} / rate * 6.283185307179586;
    return {static_cast<float>(-2.0 * double{pair.radius} * std::cos(angle)),
            static_cast<float>(double{pair.radius} * pair.radius)};
}

// An independent model: 64-bit sums reduced to 32 bits, floor divisions, clamping.
class ReferenceCascade {
  public:
    explicit ReferenceCascade(const PoleParams& params) {
        const int n = params.pairCount;
        const auto m = static_cast<float>(std::pow(std::fabs(double{params.gain}), 1.0 / n));
        for (int i = 0; i < n; ++i) {
            const double g = (i == 0 && params.gain < 0) ? -m : m;
            const auto [c1f, c2f] = denominator(params.pairs[i], params.sampleRate);
            const double c1 = c1f, c2 = c2f;
            sections_.push_back({{q13(g), 0, q13(-(c1 * g)), q13(g), q13(-c2), q13(-c1),
                                  q13(c1 * c2), q13(c1 * c1 - c2)},
                                 {q14(g), q14(c1), q14(c2)},
                                 0,
                                 0});
        }
    }
    void process(std::vector<int16_t>& block) {
        const int count = static_cast<int>(block.size());
        const int paired = count & ~3;
        for (auto& s : sections_) {
            const auto& p = s.pair;
            for (int j = 0; j < paired; j += 2) {
                const int64_t x0 = block[static_cast<std::size_t>(j)],
                              x1 = block[static_cast<std::size_t>(j + 1)];
                const int64_t y0 = clamp16(floorDiv(wrap32(p[0] * x0 + p[1] * x1), 8192) +
                                           floorDiv(wrap32(p[4] * s.ya + p[5] * s.yb), 8192));
                const int64_t y1 = clamp16(floorDiv(wrap32(p[2] * x0 + p[3] * x1), 8192) +
                                           floorDiv(wrap32(p[6] * s.ya + p[7] * s.yb), 8192));
                block[static_cast<std::size_t>(j)] = static_cast<int16_t>(y0);
                block[static_cast<std::size_t>(j + 1)] = static_cast<int16_t>(y1);
                s.ya = y0, s.yb = y1;
            }
        }
        for (auto& s : sections_) {
            for (int j = paired; j < count; ++j) {
                const int64_t x = block[static_cast<std::size_t>(j)];
                const int64_t y = clamp16(
                    floorDiv(wrap32(s.step[0] * x - s.step[1] * s.yb - s.step[2] * s.ya), 16384));
                block[static_cast<std::size_t>(j)] = static_cast<int16_t>(y);
                s.ya = s.yb, s.yb = y;
            }
        }
    }

  private:
    struct Section {
        std::vector<int64_t> pair, step;
        int64_t ya, yb;
    };
    std::vector<Section> sections_;
};

void writeBlock(MmxChannelBuffer& buffer, const std::vector<int16_t>& block) {
    buffer.zeroFillTo(static_cast<int32_t>(block.size()));
    std::copy(block.begin(), block.end(), buffer.storage());
}

TEST(MmxPoleCascade, CoefficientsOfTheEightKilohertzEntry) {
    const TableEntry& entry = poleTable().front();
    const PoleParams params = recordOf(entry);
    MmxPoleCascade cascade(params);
    const auto m = static_cast<float>(std::sqrt(std::fabs(double{entry.gain * 4.0f})));
    EXPECT_NEAR(m, 1.6231, 1e-4);
    EXPECT_EQ(cascade.stepCoefficients()[0], q14(-double{m}));
    EXPECT_EQ(cascade.stepCoefficients()[3], q14(double{m}));
}

TEST(MmxPoleCascade, EveryTableValueFitsItsFormat) {
    for (const auto& entry : poleTable()) {
        const PoleParams params = recordOf(entry);
        MmxPoleCascade cascade(params);
        const auto m =
            static_cast<float>(std::pow(std::fabs(double{params.gain}), 1.0 / params.pairCount));
        for (int i = 0; i < params.pairCount; ++i) {
            const double g = i == 0 ? -m : m;
            const auto [c1f, c2f] =
                denominator(entry.pairs[static_cast<std::size_t>(i)], entry.rate);
            const double c1 = c1f, c2 = c2f;
            const int64_t pair[8] = {q13(g),   0,        q13(-(c1 * g)), q13(g),
                                     q13(-c2), q13(-c1), q13(c1 * c2),   q13(c1 * c1 - c2)};
            for (int k = 0; k < 8; ++k) {
                EXPECT_EQ(cascade.pairCoefficients()[8 * i + k], pair[k])
                    << entry.rate << " " << i << " " << k;
                EXPECT_LT(std::abs(pair[k]), 32767);
            }
            EXPECT_EQ(cascade.stepCoefficients()[3 * i + 1], q14(c1));
            EXPECT_EQ(cascade.stepCoefficients()[3 * i + 2], q14(c2));
        }
    }
}

// Whole groups of four go through the pair steps, the last one to three samples through the
// single steps: counts 1 to 3 are all single steps, 1023 splits after 1020.
TEST(MmxPoleCascade, MatchesTheModelAtEverySplit) {
    std::mt19937 random(3);
    for (const auto& entry : poleTable()) {
        const PoleParams params = recordOf(entry);
        MmxPoleCascade cascade(params);
        ReferenceCascade model(params);
        MmxChannelBuffer buffer(1024);
        const int counts[] = {1, 2, 3, 4, 5, 1023, 1024, 7, 1021, 600, 2, 333};
        for (int count : counts) {
            std::vector<int16_t> block(static_cast<std::size_t>(count));
            for (auto& x : block)
                x = static_cast<int16_t>(std::uniform_int_distribution<int>(-32768, 32767)(random));
            auto expected = block;
            model.process(expected);
            writeBlock(buffer, block);
            cascade.process(&buffer, count);
            ASSERT_EQ(std::vector<int16_t>(buffer.storage(), buffer.storage() + count), expected)
                << entry.rate << " Hz, count " << count;
            buffer.advance(count);
        }
    }
}

// A section with c1 = c2 = 0 and gain 1 passes its input, so its history is the last two inputs.
TEST(MmxPoleCascade, QuietMeansAHistoryMagnitudeSumOfTenOrLess) {
    const PolePair pass{1000.0f, 0.0f};
    const PoleParams params{44100, 1.0f, 1, &pass};
    const struct {
        std::vector<int16_t> block;
        int32_t quiet;
    } cases[] = {{{100, 200, 4, -6}, 1},
                 {{100, 200, 5, -6}, 0},
                 {{0, 0, 0, 0}, 1},
                 {{1, 2, -32768, 32767}, 0}};
    for (const auto& c : cases) {
        MmxPoleCascade cascade(params);
        MmxChannelBuffer buffer(16);
        writeBlock(buffer, c.block);
        cascade.process(&buffer, 4);
        EXPECT_EQ(std::vector<int16_t>(buffer.storage(), buffer.storage() + 4), c.block);
        EXPECT_EQ(cascade.isQuiet(), c.quiet) << ::testing::PrintToString(c.block);
    }
}

TEST(MmxPoleCascade, ControlFlow) {
    const PoleParams params = recordOf(poleTable()[7]);
    MmxPoleCascade cascade(params);
    MmxChannelBuffer buffer(1024);
    cascade.process(&buffer, 1024);  // quiet and nothing written: skipped
    EXPECT_EQ(buffer.written(), 0);
    cascade.process(&buffer, 0);  // count 0 touches nothing but makes the cascade active
    EXPECT_EQ(buffer.written(), 0);
    const std::vector<int16_t> impulse = {20000, 0, 0};
    writeBlock(buffer, impulse);
    cascade.process(&buffer, 64);  // written to 3 of 64: zero-filled and filtered
    EXPECT_EQ(buffer.written(), 64);
    EXPECT_NE(buffer.storage()[40], 0);
    buffer.advance(64);
    cascade.process(&buffer, 64);  // ringing: not quiet yet, so the tail is written
    EXPECT_EQ(buffer.written(), 64);
}

// On noise, each table cascade tracks its exact (double precision) equations, evaluated section
// by section with the section gains the packed cascade uses; the noise is kept low enough that
// no section's output needs more than 16 bits. Each output of a pair step floors two partial sums
// (up to two steps low) and the resonators accumulate that: measured worst errors are 6 to 30
// steps (the 4-section 22050 Hz cascade the largest). 40 steps (-58 dB of full scale) leaves room
// for other noise while any wrong coefficient or history shows as hundreds of steps.
TEST(MmxPoleCascade, TableCascadesTrackTheirEquations) {
    std::mt19937 random(5);
    for (const auto& entry : poleTable()) {
        const PoleParams params = recordOf(entry);
        MmxPoleCascade cascade(params);
        MmxChannelBuffer buffer(1024);
        const int n = params.pairCount;
        const auto m = static_cast<float>(std::pow(std::fabs(double{params.gain}), 1.0 / n));
        std::vector<std::pair<float, float>> c;
        for (const auto& pair : entry.pairs) c.push_back(denominator(pair, entry.rate));
        std::vector<double> y1(c.size()), y2(c.size());
        double worst = 0, peak = 0;
        for (int block = 0; block < 8; ++block) {
            std::vector<int16_t> noise(1024);
            for (auto& x : noise)
                x = static_cast<int16_t>(std::uniform_int_distribution<int>(-2000, 2000)(random));
            writeBlock(buffer, noise);
            cascade.process(&buffer, 1024);
            for (int i = 0; i < 1024; ++i) {
                double v = noise[static_cast<std::size_t>(i)];
                for (std::size_t k = 0; k < c.size(); ++k) {
                    const double g = k == 0 ? -double{m} : double{m};
                    const double y = g * v - c[k].first * y1[k] - c[k].second * y2[k];
                    y2[k] = y1[k], y1[k] = y;
                    v = y;
                    peak = std::max(peak, std::fabs(y));
                }
                worst = std::max(worst, std::fabs(v - buffer.storage()[i]));
            }
            buffer.advance(1024);
        }
        ASSERT_LT(peak, 32000.0) << entry.rate;
        EXPECT_LE(worst, 40.0) << entry.rate << " Hz, peak " << peak;
    }
}

}  // namespace
}  // namespace ve32
