#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "dsp/components/mmx/mmx_pole_zero_cascade.h"
#include "tests/dsp/components/mmx/reference_model.h"

namespace ve32 {
namespace {

using test::clamp16;
using test::floorDiv;
using test::wrap32;

int64_t q13(double v) {
    return static_cast<int64_t>(std::trunc(v * 8192.0 + 0.5));
}

// The 75 Hz high-pass: second-order Butterworth by the bilinear transform with prewarping.
struct Section {
    float gain, a1, a2, b1, b2;
};
Section highPass(int fs) {
    const double w = (75.0 / fs) * 6.283185307179586;
    const double h = 0.5 * w;
    const double k = std::tan(h) / h;
    const double b = w / (0.7071067811865476 * k);
    const double a = 1.0 / (k * k);
    const double den = 2.0 * (b + 2.0 * a) + w * w;
    return {static_cast<float>(4.0 * a / den), static_cast<float>(2.0 * (w * w - 4.0 * a) / den),
            static_cast<float>((w * w + 2.0 * (2.0 * a - b)) / den), -2.0f, 1.0f};
}

// The stereo expander's one-section shaping filters (gain before its factor of 4). The 32000 Hz
// a2 is the library's repaired 0.820836 (a pole radius of 0.906, in line with the other rows).
const struct {
    int rate;
    Section section;
} kShapingSections[] = {
    {8000, {0.63744307f, -1.0727429f, 0.466489f, -0.7398685f, 0.1369f}},
    {11025, {0.56952506f, -1.3344989f, 0.568516f, -0.9599102f, 0.2304f}},
    {12000, {0.55372703f, -1.3990072f, 0.600625f, -1.0319185f, 0.266256f}},
    {16000, {0.5152635f, -1.5589299f, 0.680625f, -1.2199458f, 0.3721f}},
    {22050, {0.48212f, -1.6892103f, 0.7569f, -1.3999673f, 0.49f}},
    {24000, {0.46402127f, -1.7166024f, 0.7744f, -1.4299718f, 0.611225f}},
    {32000, {0.44841895f, -1.7868222f, 0.820836f, -1.5499828f, 0.600625f}},
    {44100, {0.4394399f, -1.8563038f, 0.874225f, -1.6799902f, 0.7056f}},
    {48000, {0.42997074f, -1.868375f, 0.8836f, -1.6999991f, 0.7225f}},
};
constexpr int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

Section timesFour(Section s) {
    s.gain = s.gain * 4.0f;
    return s;
}

// The record's coefficient array and the record pointing at it.
struct Record {
    explicit Record(const std::vector<Section>& sections, float gain) {
        for (const auto& s : sections)
            coefficients.insert(coefficients.end(), {s.a1, s.a2, s.b1, s.b2});
        params = {gain, static_cast<int32_t>(sections.size()), coefficients.data()};
    }
    std::vector<float> coefficients;
    PoleZeroParams params{};
};

// The twelve pair values of a section, from the equations of y(n) and y(n+1).
std::vector<int64_t> pairValues(double g, const Section& s) {
    const double a1 = s.a1, a2 = s.a2, b1 = s.b1, b2 = s.b2;
    return {q13(g),      0,           q13((b1 - a1) * g),  q13(g),
            q13(b2 * g), q13(b1 * g), q13(-(a1 * b2 * g)), q13((b2 - a1 * b1) * g),
            q13(-a2),    q13(-a1),    q13(a1 * a2),        q13(a1 * a1 - a2)};
}

// An independent model of the cascade: 64-bit sums reduced to 32 bits, floor divisions.
class ReferenceCascade {
  public:
    explicit ReferenceCascade(const Record& record) {
        const auto n = record.params.sectionCount;
        const double m = std::pow(std::fabs(double{record.params.gain}), 1.0 / n);
        for (int i = 0; i < n; ++i) {
            const double g = (i == 0 && record.params.gain < 0) ? -m : m;
            const Section s{0, record.coefficients[4 * i], record.coefficients[4 * i + 1],
                            record.coefficients[4 * i + 2], record.coefficients[4 * i + 3]};
            sections_.push_back({pairValues(g, s),
                                 {q13(g), q13(s.a1), q13(s.a2), q13(s.b1 * g), q13(s.b2 * g)},
                                 {0, 0, 0, 0}});
        }
    }
    // Filters block[0 .. count) in place, of which `written` samples carry signal; returns false
    // when the block is skipped.
    bool process(std::vector<int16_t>& block, int count, int written) {
        const int unwritten = count - written;
        if (unwritten <= 0) {
            silentRun_ = 0;
        } else if (written != 0) {
            silentRun_ = unwritten;
        } else {
            if (silentRun_ >= 1000) return false;
            silentRun_ += count;
            if (silentRun_ >= 1000) {
                silentRun_ = 1000;
                for (auto& s : sections_) s.history = {0, 0, 0, 0};
            }
        }
        for (int i = written; i < count; ++i) block[static_cast<std::size_t>(i)] = 0;
        const int paired = count & ~1;
        for (auto& s : sections_) {
            auto& [xa, xb, ya, yb] = s.history;
            const auto& p = s.pair;
            for (int j = 0; j < paired; j += 2) {
                const int64_t x0 = block[static_cast<std::size_t>(j)];
                const int64_t x1 = block[static_cast<std::size_t>(j + 1)];
                const int64_t s0 =
                    wrap32(p[0] * x0 + p[1] * x1 + p[4] * xa + p[5] * xb + p[8] * ya + p[9] * yb);
                const int64_t s1 =
                    wrap32(p[2] * x0 + p[3] * x1 + p[6] * xa + p[7] * xb + p[10] * ya + p[11] * yb);
                const int64_t y0 = clamp16(floorDiv(s0, 8192));
                const int64_t y1 = clamp16(floorDiv(s1, 8192));
                block[static_cast<std::size_t>(j)] = static_cast<int16_t>(y0);
                block[static_cast<std::size_t>(j + 1)] = static_cast<int16_t>(y1);
                xa = x0, xb = x1, ya = y0, yb = y1;
            }
        }
        if (count % 2 == 1) {
            for (auto& s : sections_) {
                auto& [xa, xb, ya, yb] = s.history;
                const auto& c = s.step;
                auto& sample = block[static_cast<std::size_t>(count - 1)];
                const int64_t x = sample;
                const int64_t y = clamp16(floorDiv(
                    wrap32(c[0] * x + c[3] * xb + c[4] * xa - c[1] * yb - c[2] * ya), 8192));
                sample = static_cast<int16_t>(y);
                xa = xb, xb = x, ya = yb, yb = y;
            }
        }
        return true;
    }
    int silentRun() const { return silentRun_; }

  private:
    struct State {
        std::vector<int64_t> pair;
        std::vector<int64_t> step;
        std::array<int64_t, 4> history;
    };
    std::vector<State> sections_;
    int silentRun_ = 1000;
};

// Fills a buffer's block with `count` samples of which the first `written` carry signal.
void writeBlock(MmxChannelBuffer& buffer, const std::vector<int16_t>& block, int written) {
    if (written == 0) return;
    buffer.zeroFillTo(written);
    std::copy(block.begin(), block.begin() + written, buffer.storage());
}

TEST(MmxPoleZeroCascade, HighPassCoefficientsFitQ13AtEveryRate) {
    for (int fs : kRates) {
        const Section s = highPass(fs);
        Record record({s}, s.gain);
        MmxPoleZeroCascade cascade(record.params);
        const double g = s.gain;
        const auto expected = pairValues(g, s);
        for (int k = 0; k < 12; ++k) {
            EXPECT_EQ(cascade.pairCoefficients()[k], expected[static_cast<std::size_t>(k)])
                << fs << " " << k;
            EXPECT_LE(std::abs(cascade.pairCoefficients()[k]), 32767) << fs << " " << k;
        }
        const int64_t step[5] = {q13(g), q13(s.a1), q13(s.a2), q13(s.b1 * g), q13(s.b2 * g)};
        for (int k = 0; k < 5; ++k) EXPECT_EQ(cascade.stepCoefficients()[k], step[k]) << fs;
    }
}

// With the factor of 4, the sections at 44100 and 48000 Hz need (b2 - a1 b1) g of about -4.24,
// below the 16-bit Q13 range. The value is kept as it is instead of wrapping to about +3.76.
TEST(MmxPoleZeroCascade, PairValueBeyondSixteenBitsIsKept) {
    for (const auto& entry : kShapingSections) {
        const Section s = timesFour(entry.section);
        Record record({s}, s.gain);
        MmxPoleZeroCascade cascade(record.params);
        const auto expected = pairValues(s.gain, s);
        for (int k = 0; k < 12; ++k) {
            EXPECT_EQ(cascade.pairCoefficients()[k], expected[static_cast<std::size_t>(k)])
                << entry.rate << " " << k;
        }
        const bool beyond = entry.rate == 44100 || entry.rate == 48000;
        EXPECT_EQ(cascade.pairCoefficients()[7] < -32768, beyond) << entry.rate;
    }
}

TEST(MmxPoleZeroCascade, NegativeGainGoesToTheFirstSection) {
    const Section s{0, -0.5f, 0.25f, 0.1f, 0.2f};
    Record record({s, s}, -4.0f);
    MmxPoleZeroCascade cascade(record.params);
    EXPECT_EQ(cascade.stepCoefficients()[0], q13(-2.0));  // -16383
    EXPECT_EQ(cascade.stepCoefficients()[5], q13(2.0));   // 16384
    EXPECT_EQ(cascade.stepCoefficients()[0], -16383);
}

// Random blocks (odd and even lengths, partly written, silent) through several records, against
// the model, sample by sample and in the silent-run count.
TEST(MmxPoleZeroCascade, MatchesTheModelToTheBit) {
    std::mt19937 random(7);
    std::vector<std::pair<std::vector<Section>, float>> records;
    for (const auto& entry : kShapingSections) {
        const Section s = timesFour(entry.section);
        records.push_back({{s}, s.gain});
    }
    const Section resonant{0, -1.6f, 0.9f, 0.5f, -0.3f};
    const Section lowPass{0, -1.2f, 0.4f, 2.0f, 1.0f};
    records.push_back({{resonant, lowPass}, -3.5f});  // loud enough to saturate
    records.push_back({{lowPass, resonant, lowPass}, 0.2f});
    for (const auto& [sections, gain] : records) {
        Record record(sections, gain);
        MmxPoleZeroCascade cascade(record.params);
        for (int i = 0; i < record.params.sectionCount; ++i)
            ASSERT_FALSE(cascade.usesExtendedPrecision(i));
        ReferenceCascade model(record);
        MmxChannelBuffer buffer(1100);
        for (int block = 0; block < 40; ++block) {
            const int count = block == 0 ? 1 : std::uniform_int_distribution<int>(0, 1024)(random);
            const int kind = std::uniform_int_distribution<int>(0, 5)(random);
            const int written = kind == 0   ? 0
                                : kind == 1 ? std::uniform_int_distribution<int>(0, count)(random)
                                            : count;
            std::vector<int16_t> input(static_cast<std::size_t>(count));
            for (auto& x : input) {
                x = static_cast<int16_t>(
                    std::uniform_int_distribution<int>(-32768, 32767)(random) >>
                    (kind == 2 ? 0 : 3));
            }
            auto expected = input;
            const bool ran = model.process(expected, count, written);
            writeBlock(buffer, input, written);
            cascade.process(&buffer, count);
            ASSERT_EQ(buffer.written(), ran ? std::max(count, written) : written);
            if (ran) {
                ASSERT_EQ(std::vector<int16_t>(buffer.storage(), buffer.storage() + count),
                          expected)
                    << "block " << block << " count " << count;
            }
            ASSERT_EQ(cascade.silentRun(), model.silentRun());
            buffer.advance(count);
        }
    }
}

TEST(MmxPoleZeroCascade, SilentRunDecidesWhenSilenceIsSkipped) {
    const Section s = highPass(44100);
    Record record({s}, s.gain);
    MmxPoleZeroCascade cascade(record.params);
    MmxChannelBuffer buffer(1024);
    EXPECT_EQ(cascade.isQuiet(), 1);

    // Nothing written and quiet: skipped, nothing written.
    cascade.process(&buffer, 1024);
    EXPECT_EQ(buffer.written(), 0);

    // count 0 runs and marks the cascade active.
    cascade.process(&buffer, 0);
    EXPECT_EQ(cascade.silentRun(), 0);
    EXPECT_EQ(cascade.isQuiet(), 0);

    // A block written to 300 of 1000: the silent tail counts.
    std::vector<int16_t> loud(1024, 12000);
    writeBlock(buffer, loud, 300);
    cascade.process(&buffer, 1000);
    EXPECT_EQ(cascade.silentRun(), 700);
    buffer.advance(1000);

    // The next unwritten block of 1024 completes the run: history cleared, output all zeros.
    cascade.process(&buffer, 1024);
    EXPECT_EQ(buffer.written(), 1024);
    EXPECT_EQ(std::vector<int16_t>(buffer.storage(), buffer.storage() + 1024),
              std::vector<int16_t>(1024, 0));
    EXPECT_EQ(cascade.silentRun(), 1000);
    buffer.advance(1024);

    // And the one after that is skipped.
    cascade.process(&buffer, 1024);
    EXPECT_EQ(buffer.written(), 0);
}

TEST(MmxPoleZeroCascade, UnwrittenBlocksBelowTheRunCarryTheTail) {
    const Section s = highPass(8000);
    Record record({s}, s.gain);
    MmxPoleZeroCascade cascade(record.params);
    MmxChannelBuffer buffer(1024);
    std::vector<int16_t> loud(64, 20000);
    writeBlock(buffer, loud, 64);
    cascade.process(&buffer, 64);
    buffer.advance(64);
    cascade.process(&buffer, 64);  // 64 silent samples: filtered, the decaying output written
    EXPECT_EQ(cascade.silentRun(), 64);
    EXPECT_EQ(buffer.written(), 64);
    EXPECT_NE(buffer.storage()[0], 0);
}

// The 75 Hz high-pass has its poles within 1/128 of z = 1 at every rate; in Q13 it would pass DC
// with a gain of about -2 at 44100 Hz. It runs in extended precision; the shaping sections do not.
TEST(MmxPoleZeroCascade, SectionsNearDcRunInExtendedPrecision) {
    for (int fs : kRates) {
        const Section s = highPass(fs);
        Record record({s}, s.gain);
        MmxPoleZeroCascade cascade(record.params);
        EXPECT_TRUE(cascade.usesExtendedPrecision(0)) << fs;
    }
    for (const auto& entry : kShapingSections) {
        const Section s = timesFour(entry.section);
        Record record({s}, s.gain);
        MmxPoleZeroCascade cascade(record.params);
        EXPECT_FALSE(cascade.usesExtendedPrecision(0)) << entry.rate;
    }
    // The limit is a recursion gain of 128 at DC or at half the sample rate.
    EXPECT_TRUE(MmxPoleZeroCascade::needsExtendedPrecision(-1.99, 0.997));   // 1 + a1 + a2 = 0.007
    EXPECT_FALSE(MmxPoleZeroCascade::needsExtendedPrecision(-1.99, 0.999));  // 0.009
    EXPECT_TRUE(MmxPoleZeroCascade::needsExtendedPrecision(1.99, 0.997));
}

// Runs a high-pass on `input` in blocks of `block` samples and returns its output.
std::vector<int16_t> runHighPass(int fs, const std::vector<int16_t>& input, int block) {
    const Section s = highPass(fs);
    Record record({s}, s.gain);
    MmxPoleZeroCascade cascade(record.params);
    MmxChannelBuffer buffer(1024);
    std::vector<int16_t> out;
    for (std::size_t start = 0; start < input.size(); start += static_cast<std::size_t>(block)) {
        const int count = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(block), input.size() - start));
        std::vector<int16_t> chunk(input.begin() + static_cast<long>(start),
                                   input.begin() + static_cast<long>(start) + count);
        writeBlock(buffer, chunk, count);
        cascade.process(&buffer, count);
        out.insert(out.end(), buffer.storage(), buffer.storage() + count);
        buffer.advance(count);
    }
    return out;
}

// The high-pass follows its equation to within two steps at every rate: on noise, on DC (which
// it removes) and on near-silence (which stays near silence). Even and odd block lengths give
// the same output to within one step (pair and single steps are the same equation).
TEST(MmxPoleZeroCascade, HighPassTracksItsEquationAtEveryRate) {
    std::mt19937 random(13);
    std::vector<int16_t> noise(20000), quiet(20000);
    for (auto& x : noise)
        x = static_cast<int16_t>(std::uniform_int_distribution<int>(-12000, 12000)(random));
    for (auto& x : quiet)
        x = static_cast<int16_t>(std::uniform_int_distribution<int>(-3, 3)(random));
    std::vector<int16_t> dc(20000, 2000);
    for (int fs : kRates) {
        const Section s = highPass(fs);
        for (const std::vector<int16_t>* input : {&noise, &quiet, &dc}) {
            const auto out = runHighPass(fs, *input, 1024);
            double x1 = 0, x2 = 0, y1 = 0, y2 = 0, worst = 0;
            for (std::size_t i = 0; i < input->size(); ++i) {
                const double x = (*input)[i];
                const double y = double{s.gain} * (x - 2.0 * x1 + x2) - s.a1 * y1 - s.a2 * y2;
                x2 = x1, x1 = x, y2 = y1, y1 = y;
                worst = std::max(worst, std::fabs(y - out[i]));
            }
            EXPECT_LE(worst, 2.0) << fs << " Hz";
        }
        const auto even = runHighPass(fs, noise, 1024);
        const auto odd = runHighPass(fs, noise, 333);
        int differ = 0;
        for (std::size_t i = 0; i < even.size(); ++i)
            differ = std::max(differ, std::abs(even[i] - odd[i]));
        EXPECT_LE(differ, 1) << fs << " Hz";
    }
}

// Clamping follows the pair step: both outputs of a pair come from the history before the pair,
// and what enters the history is the clamped pair.
TEST(MmxPoleZeroCascade, ExtendedSectionsClampAndKeepTheClampedHistory) {
    std::vector<int16_t> square(4096);
    for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 201) % 2 == 0 ? 32767 : -32768;
    const Section s = highPass(8000);
    const auto out = runHighPass(8000, square, 1024);
    int saturated = 0;
    for (int16_t y : out) saturated += (y == 32767 || y == -32768) ? 1 : 0;
    EXPECT_GT(saturated, 20);
    const double g = s.gain, a1 = s.a1, a2 = s.a2, b1 = -2.0, b2 = 1.0;
    double xa = 0, xb = 0, ya = 0, yb = 0, worst = 0;
    for (std::size_t i = 0; i < square.size(); i += 2) {
        const double x0 = square[i], x1 = square[i + 1];
        const double y0 = g * (x0 + b1 * xb + b2 * xa) - a1 * yb - a2 * ya;
        const double y1 = g * x1 + (b1 - a1) * g * x0 + (b2 - a1 * b1) * g * xb - a1 * b2 * g * xa +
                          a1 * a2 * ya + (a1 * a1 - a2) * yb;
        xa = x0, xb = x1;
        ya = std::clamp(y0, -32768.0, 32767.0);
        yb = std::clamp(y1, -32768.0, 32767.0);
        worst = std::max({worst, std::fabs(ya - out[i]), std::fabs(yb - out[i + 1])});
    }
    EXPECT_LE(worst, 2.0);
}

// Sum of |h| over the impulse response of 1 / (1 + a1 z^-1 + a2 z^-2): how far an error of one
// step made at every output can accumulate in the recursion.
double recursionGain(double a1, double a2) {
    double y1 = 0, y2 = 0, sum = 0;
    for (int n = 0; n < 20000; ++n) {
        const double y = (n == 0 ? 1.0 : 0.0) - a1 * y1 - a2 * y2;
        y2 = y1, y1 = y;
        sum += std::fabs(y);
    }
    return sum;
}

// The sections follow their equation at every rate: on noise the packed output stays close to
// the exact (double precision) section output. The packed error comes from truncating each
// output to whole steps (floor, so up to one step, half a step on average) and from Q13
// coefficients; the recursion accumulates it by its gain, which is largest at the high rates
// (poles closest to the unit circle). So each rate's worst error is measured against that gain:
// the two rates whose pair value needs more than 16 bits must track as closely as the others.
TEST(MmxPoleZeroCascade, ShapingSectionsTrackTheirEquationAtEveryRate) {
    std::mt19937 random(11);
    std::vector<int16_t> noise(16384);
    for (auto& x : noise)
        x = static_cast<int16_t>(std::uniform_int_distribution<int>(-3000, 3000)(random));
    double worstRatioElsewhere = 0;
    std::vector<std::pair<int, double>> highRates;
    for (const auto& entry : kShapingSections) {
        const Section s = timesFour(entry.section);
        Record record({s}, s.gain);
        MmxPoleZeroCascade cascade(record.params);
        MmxChannelBuffer buffer(1024);
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0, worst = 0, peak = 0;
        for (std::size_t start = 0; start < noise.size(); start += 1023) {
            const int count = static_cast<int>(std::min<std::size_t>(1023, noise.size() - start));
            std::vector<int16_t> block(noise.begin() + static_cast<long>(start),
                                       noise.begin() + static_cast<long>(start) + count);
            writeBlock(buffer, block, count);
            cascade.process(&buffer, count);
            for (int i = 0; i < count; ++i) {
                const double x = block[static_cast<std::size_t>(i)];
                const double y =
                    double{s.gain} * (x + s.b1 * x1 + s.b2 * x2) - s.a1 * y1 - s.a2 * y2;
                x2 = x1, x1 = x, y2 = y1, y1 = y;
                worst = std::max(worst, std::fabs(y - buffer.storage()[i]));
                peak = std::max(peak, std::fabs(y));
            }
            buffer.advance(count);
        }
        ASSERT_LT(peak, 32000.0) << entry.rate;  // no saturation in this comparison
        const double gain = recursionGain(s.a1, s.a2);
        // Per output at most one step of truncation and about one of coefficient rounding,
        // accumulated by the recursion.
        EXPECT_LE(worst, 2.0 * gain + 2.0) << entry.rate << " Hz";
        if (entry.rate == 44100 || entry.rate == 48000) {
            highRates.push_back({entry.rate, worst / gain});
        } else {
            worstRatioElsewhere = std::max(worstRatioElsewhere, worst / gain);
        }
    }
    for (const auto& [rate, ratio] : highRates) {
        EXPECT_LE(ratio, worstRatioElsewhere) << rate << " Hz tracks worse than the other rates";
    }
}

}  // namespace
}  // namespace ve32
