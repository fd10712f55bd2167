#include "dsp/engines/stereo_expander.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "dsp/frame/backend_selection.h"
#include "tests/dsp/engines/engine_handles.h"
#include "tests/dsp/support/signals.h"

namespace ve32 {
namespace {

using testing::Expander;
using testing::kAllRates;
using testing::maxAbsDifference;
using testing::noise16;
using testing::noise8;

constexpr unsigned kFpu = VE32_BACKEND_FPU;
constexpr unsigned kSections = VE32_FLAG_SECTION_SHAPING;

TEST(StereoExpander, OpenResults) {
    void* handle = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(veOpen(&handle, 96000, kFpu), VE32_UNSUPPORTED_RATE);
    EXPECT_EQ(handle, nullptr);
    handle = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(veOpen(&handle, 44000, 0), VE32_UNSUPPORTED_RATE);
    EXPECT_EQ(handle, nullptr);
    for (unsigned flags : {0u, 0x80000000u, 3u, 7u}) {
        EXPECT_EQ(veOpen(&handle, 44100, flags), VE32_OK);
        EXPECT_NE(handle, nullptr);
        veClose(handle);
    }
    veClose(nullptr);
}

TEST(StereoExpander, ZeroFramesWritesNothing) {
    Expander e(44100, kFpu);
    std::vector<int16_t> out(4, 777);
    const int16_t in[4] = {1, 2, 3, 4};
    veProcess16(e.handle, in, out.data(), 0);
    veEnable(e.handle, 0);
    veProcess16(e.handle, in, out.data(), 0);
    EXPECT_EQ(out, std::vector<int16_t>(4, 777));
}

// Calls that split at the engine's own 1024-frame block boundaries equal one long call to the
// bit, for every rate and both shaping tables.
TEST(StereoExpander, SplittingAtBlockBoundariesIsBitExact) {
    const auto input = noise16(2 * 2500, 12000, 1);
    for (int rate : kAllRates) {
        for (unsigned table : {0u, kSections}) {
            Expander whole(rate, kFpu | table), split(rate, kFpu | table);
            EXPECT_EQ(whole.run16(input), split.run16Split(input, {1024, 1024, 452}))
                << rate << " table " << table;
        }
    }
}

// Elsewhere the filters' saved states are rounded to float at the call boundary instead of being
// carried in double; that moves an output sample by at most one step.
TEST(StereoExpander, SplittingElsewhereDiffersByAtMostOneStep) {
    const auto input = noise16(2 * 6000, 12000, 2);
    for (int rate : {8000, 22050, 44100, 48000}) {
        for (unsigned table : {0u, kSections}) {
            Expander whole(rate, kFpu | table), split(rate, kFpu | table);
            const auto reference = whole.run16(input);
            EXPECT_LE(maxAbsDifference(reference, split.run16Split(input, {1, 1023, 1025, 7})), 1)
                << rate << " table " << table;
        }
    }
}

TEST(StereoExpander, InPlaceEqualsSeparateBuffers) {
    const auto input16 = noise16(2 * 3000, 9000, 3);
    const auto input8 = noise8(2 * 3000, 4);
    Expander a(48000, kFpu), b(48000, kFpu);
    veSetInputDelay(a.handle, 3, 40);
    veSetInputDelay(b.handle, 3, 40);
    auto inPlace16 = input16;
    veProcess16(b.handle, inPlace16.data(), inPlace16.data(), 3000);
    EXPECT_EQ(a.run16(input16), inPlace16);
    auto inPlace8 = input8;
    veProcess8(b.handle, inPlace8.data(), inPlace8.data(), 3000);
    EXPECT_EQ(a.run8(input8), inPlace8);
}

TEST(StereoExpander, PlanarMatchesInterleavedAlsoInPlace) {
    const auto input = noise16(2 * 2100, 9000, 5);
    std::vector<int16_t> left(2100), right(2100);
    for (int i = 0; i < 2100; ++i) {
        left[i] = input[2 * i];
        right[i] = input[2 * i + 1];
    }
    Expander interleaved(22050, kFpu);
    const auto expected = interleaved.run16(input);

    StereoExpander planar;
    ASSERT_EQ(planar.open(backendFor(kFpuBackendCode), 22050, 0), 0);
    planar.processPlanar16(left.data(), right.data(), left.data(), right.data(), 2100);
    for (int i = 0; i < 2100; ++i) {
        ASSERT_EQ(left[i], expected[2 * i]) << i;
        ASSERT_EQ(right[i], expected[2 * i + 1]) << i;
    }

    // The planar 8-bit output truncates (it is the mono conversion) where the interleaved one
    // rounds, so compare it with the 16-bit result of the same samples instead.
    const auto input8 = noise8(2 * 1500, 6);
    std::vector<uint8_t> left8(1500), right8(1500);
    std::vector<int16_t> wideLeft(1500), wideRight(1500);
    for (int i = 0; i < 1500; ++i) {
        left8[i] = input8[2 * i];
        right8[i] = input8[2 * i + 1];
        wideLeft[i] = int16_t((left8[i] - 128) * 256);
        wideRight[i] = int16_t((right8[i] - 128) * 256);
    }
    StereoExpander planar8, planarWide;
    ASSERT_EQ(planar8.open(backendFor(kFpuBackendCode), 22050, 0), 0);
    ASSERT_EQ(planarWide.open(backendFor(kFpuBackendCode), 22050, 0), 0);
    planar8.processPlanar8(left8.data(), right8.data(), left8.data(), right8.data(), 1500);
    planarWide.processPlanar16(wideLeft.data(), wideRight.data(), wideLeft.data(), wideRight.data(),
                               1500);
    for (int i = 0; i < 1500; ++i) {
        ASSERT_EQ(left8[i], (wideLeft[i] + 32768) >> 8) << i;
        ASSERT_EQ(right8[i], (wideRight[i] + 32768) >> 8) << i;
    }
}

TEST(StereoExpander, BypassCopiesAndDisablingResets) {
    const auto first = noise16(2 * 1500, 15000, 7);
    const auto second = noise16(2 * 1500, 15000, 8);
    Expander e(44100, kFpu);
    e.run16(first);
    veEnable(e.handle, 0);
    EXPECT_EQ(e.run16(second), second);
    const auto bytes = noise8(2 * 100, 9);
    EXPECT_EQ(e.run8(bytes), bytes);
    veEnable(e.handle, 1);
    Expander fresh(44100, kFpu);
    EXPECT_EQ(e.run16(second), fresh.run16(second));
}

TEST(StereoExpander, ResetGivesFreshOutputButKeepsParameters) {
    const auto input = noise16(2 * 2000, 15000, 10);
    Expander e(32000, kFpu), fresh(32000, kFpu);
    for (void* h : {e.handle, fresh.handle}) {
        veSetSpread(h, 4.0f);
        veSetCenter(h, -3.0f);
        veSetInputDelay(h, 5, 0);
    }
    e.run16(input);
    veReset(e.handle);
    EXPECT_EQ(e.run16(input), fresh.run16(input));
}

// With spread -200 dB the difference path is practically gone: what is left is the input delayed
// by the direct-path delay of the table and rate.
TEST(StereoExpander, VerySmallSpreadLeavesTheDelayedInput) {
    struct Case {
        int rate;
        unsigned table;
        int delay;
    };
    const Case cases[] = {{44100, 0, 5}, {48000, 0, 6},         {32000, 0, 4},
                          {16000, 0, 1}, {8000, 0, 0},          {11025, 0, 0},
                          {12000, 0, 0}, {44100, kSections, 0}, {8000, kSections, 0}};
    const auto input = noise16(2 * 3000, 20000, 11);
    for (const auto& c : cases) {
        Expander e(c.rate, kFpu | c.table);
        veSetSpread(e.handle, -200.0f);
        const auto out = e.run16(input);
        for (int i = 0; i < 2 * 3000; ++i) {
            const int source = i - 2 * c.delay;
            ASSERT_EQ(out[i], source < 0 ? 0 : input[source]) << c.rate << " at " << i;
        }
    }
}

// An input delay on the left is the same as feeding the left channel later.
TEST(StereoExpander, InputDelayDelaysEveryPathOfItsChannel) {
    const int frames = 2500, shift = 10;
    const auto input = noise16(2 * frames, 12000, 12);
    auto shifted = input;
    for (int i = frames - 1; i >= 0; --i) shifted[2 * i] = i >= shift ? input[2 * (i - shift)] : 0;
    for (unsigned table : {0u, kSections}) {
        Expander delayed(44100, kFpu | table), plain(44100, kFpu | table);
        veSetInputDelay(delayed.handle, shift, 0);
        EXPECT_EQ(delayed.run16(input), plain.run16(shifted));
    }
}

TEST(StereoExpander, NegativeDelayCountsAsNone) {
    const auto input = noise16(2 * 1500, 12000, 13);
    Expander negative(48000, kFpu), plain(48000, kFpu);
    veSetInputDelay(negative.handle, -5, std::numeric_limits<int>::min());
    EXPECT_EQ(negative.run16(input), plain.run16(input));
}

// The 8-bit path computes the same values as the 16-bit path fed (b - 128) x 256; only the final
// conversion differs, rounding to the nearest 8-bit level.
TEST(StereoExpander, EightBitPathMatchesSixteenBitPath) {
    const auto bytes = noise8(2 * 3000, 14);
    std::vector<int16_t> wide(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) wide[i] = int16_t((bytes[i] - 128) * 256);
    for (unsigned table : {0u, kSections}) {
        Expander e8(24000, kFpu | table), e16(24000, kFpu | table);
        veSetSpread(e8.handle, -6.0f);
        veSetSpread(e16.handle, -6.0f);
        const auto out8 = e8.run8(bytes);
        const auto out16 = e16.run16(wide);
        for (std::size_t i = 0; i < out8.size(); ++i) {
            ASSERT_EQ(out8[i], std::min(255, (out16[i] + 32896) >> 8)) << i;
        }
    }
}

// After the signal stops, the filters ring out and then go quiet: the output returns to exact
// digital silence and stays there.
TEST(StereoExpander, SilenceAfterSignalSettlesToExactZero) {
    for (unsigned table : {0u, kSections}) {
        Expander e(44100, kFpu | table);
        e.run16(noise16(2 * 4096, 20000, 15));
        const std::vector<int16_t> silence(2 * 44100, 0);
        const auto out = e.run16(silence);
        EXPECT_NE(maxAbsDifference(out, silence), 0);  // the tail rings out first
        EXPECT_EQ(e.run16(silence), silence);
    }
}

TEST(StereoExpander, EveryRateAndTableProducesBoundedWiderOutput) {
    const auto input = testing::sweep16(8192, 2, 44100, 8000.0);
    for (int rate : kAllRates) {
        for (unsigned table : {0u, kSections}) {
            Expander e(rate, kFpu | table);
            const auto out = e.run16(input);
            EXPECT_NE(out, input) << rate;
            // A stable filter keeps the output far from full scale for this moderate input.
            int peak = 0;
            for (int16_t s : out) peak = std::max(peak, std::abs(int(s)));
            EXPECT_LT(peak, 32767) << rate << " table " << table;
        }
    }
}

TEST(StereoExpander, ExtremeSettingsStayDefined) {
    const auto input = noise16(2 * 2048, 32767, 16);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float values[] = {1000.0f, -1000.0f, nan, std::numeric_limits<float>::infinity()};
    for (float v : values) {
        Expander e(48000, kFpu);
        veSetSpread(e.handle, v);
        veSetCenter(e.handle, v);
        veSetInputScale(e.handle, v, -v);
        e.run16(input);
        std::vector<uint8_t> bytes(2 * 2048, 0);
        e.run8(bytes);
    }
    // NaN gains everywhere: the conversion turns NaN samples into silence.
    Expander e(48000, kFpu);
    veSetInputScale(e.handle, nan, nan);
    EXPECT_EQ(e.run16(input), std::vector<int16_t>(input.size(), 0));
}

}  // namespace
}  // namespace ve32
