#include "dsp/engines/mono_to_stereo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/design/coefficient_tables.h"
#include "tests/dsp/engines/engine_handles.h"
#include "tests/dsp/support/signals.h"

namespace ve32 {
namespace {

using testing::MonoToStereoHandle;
using testing::noise16;

constexpr unsigned kFpu = VE32_BACKEND_FPU;

TEST(MonoToStereo, OpenResults) {
    void* handle = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(m2sOpen(&handle, 96000, kFpu), VE32_UNSUPPORTED_RATE);
    EXPECT_EQ(handle, nullptr);
    for (int rate : testing::kAllRates) {
        EXPECT_EQ(m2sOpen(&handle, rate, kFpu | VE32_FLAG_SECTION_SHAPING), VE32_OK);
        EXPECT_NE(handle, nullptr);
        m2sClose(handle);
    }
    m2sClose(nullptr);
}

TEST(MonoToStereo, ImpulseResponse) {
    MonoToStereoHandle m(44100, kFpu);
    std::vector<int16_t> impulse(100, 0);
    impulse[0] = 10000;
    const auto out = m.run16(impulse);
    const float* taps = kFirTable[7].filter.coefficients;
    const float wet = float(10000 * double(float(std::pow(10.0, -2.5 / 20))));
    for (int t = 0; t < 100; ++t) {
        const int right = t == 22 ? 7943 : 0;
        EXPECT_EQ(out[2 * t + 1], right) << t;
        const double left = t < 45 ? double(float(double(wet) * taps[t])) : 0.0;
        EXPECT_EQ(out[2 * t], int16_t(std::nearbyint(left))) << t;
    }
    EXPECT_EQ(out[2 * 22], 3769);
}

TEST(MonoToStereo, BypassDuplicatesEachSample) {
    MonoToStereoHandle m(8000, kFpu);
    m2sEnable(m.handle, 0);
    EXPECT_EQ(m.run16({5, -7}), (std::vector<int16_t>{5, 5, -7, -7}));
    EXPECT_EQ(m.run8({0x10, 0xF0}), (std::vector<uint8_t>{0x10, 0x10, 0xF0, 0xF0}));
}

TEST(MonoToStereo, BypassKeepsStateUntilReset) {
    const auto a = noise16(3000, 20000, 31), b = noise16(3000, 20000, 32);
    MonoToStereoHandle m(48000, kFpu), fresh(48000, kFpu);
    m.run16(a);
    m2sEnable(m.handle, 0);
    m2sEnable(m.handle, 1);
    EXPECT_NE(m.run16(b), fresh.run16(b));  // the delay line and filter still hold `a`

    MonoToStereoHandle again(48000, kFpu);
    m2sReset(m.handle);
    EXPECT_EQ(m.run16(b), again.run16(b));
}

TEST(MonoToStereo, SplitCallsAndIgnoredSetters) {
    const auto input = noise16(2500, 20000, 33);
    for (int rate : testing::kAllRates) {
        MonoToStereoHandle whole(rate, kFpu), split(rate, kFpu);
        m2sSetSpread(split.handle, 12.0f);
        m2sSetCenter(split.handle, -40.0f);
        const auto expected = whole.run16(input);
        std::vector<int16_t> out(2 * input.size());
        for (unsigned at = 0, n; at < input.size(); at += n) {
            n = std::min<unsigned>(at == 0 ? 1 : 1023, unsigned(input.size()) - at);
            m2sProcess16(split.handle, input.data() + at, out.data() + 2 * at, n);
        }
        // Only the filter's rounded history separates the two; the delayed side is exact.
        EXPECT_LE(testing::maxAbsDifference(out, expected), 1) << rate;
        for (std::size_t i = 1; i < out.size(); i += 2) ASSERT_EQ(out[i], expected[i]) << rate;
    }
}

TEST(MonoToStereo, EightBitPathMatchesSixteenBitPath) {
    const auto bytes = testing::noise8(3000, 34);
    std::vector<int16_t> wide(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) wide[i] = int16_t((bytes[i] - 128) * 256);
    MonoToStereoHandle m8(16000, kFpu), m16(16000, kFpu);
    const auto out8 = m8.run8(bytes);
    const auto out16 = m16.run16(wide);
    for (std::size_t i = 0; i < out8.size(); ++i) {
        ASSERT_EQ(out8[i], std::min(255, (out16[i] + 32896) >> 8)) << i;
    }
}

TEST(MonoToStereo, SilenceAfterSignalSettlesToExactZero) {
    MonoToStereoHandle m(22050, kFpu);
    m.run16(noise16(4096, 20000, 35));
    const std::vector<int16_t> silence(2048, 0);
    const auto tail = m.run16(silence);
    EXPECT_NE(tail, std::vector<int16_t>(4096, 0));
    EXPECT_EQ(m.run16(silence), std::vector<int16_t>(4096, 0));
}

}  // namespace
}  // namespace ve32
