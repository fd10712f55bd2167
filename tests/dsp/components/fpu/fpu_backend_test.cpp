#include "dsp/components/fpu/fpu_backend.h"

#include <gtest/gtest.h>

#include <memory>

#include "dsp/components/fpu/fpu_channel_buffer.h"
#include "dsp/components/fpu/fpu_fir_filter.h"
#include "dsp/components/fpu/fpu_pole_cascade.h"
#include "dsp/components/fpu/fpu_pole_zero_cascade.h"
#include "dsp/components/fpu/fpu_tap_delay.h"

namespace ve32 {
namespace {

TEST(FpuBackend, FactoriesBuildTheFloatingPointComponents) {
    const Backend& backend = fpuBackend();
    EXPECT_EQ(&backend, &fpuBackend());

    std::unique_ptr<ChannelBuffer> buffer(backend.createChannelBuffer(1024));
    auto* fpuBuffer = dynamic_cast<FpuChannelBuffer*>(buffer.get());
    ASSERT_NE(fpuBuffer, nullptr);
    EXPECT_EQ(fpuBuffer->inputScale, 1.0f);
    EXPECT_EQ(fpuBuffer->delay, 0);
    EXPECT_EQ(fpuBuffer->written, 0);

    const DelayTap taps[] = {{3, 0.5f}};
    const TapDelayParams tapParams{taps, 1};
    std::unique_ptr<TapDelay> tapDelay(backend.createTapDelay(&tapParams));
    EXPECT_NE(dynamic_cast<FpuTapDelay*>(tapDelay.get()), nullptr);

    const float fir[] = {0.5f, 0.25f};
    const FirParams firParams{fir, 2};
    std::unique_ptr<Filter> firFilter(backend.createFirFilter(&firParams));
    EXPECT_NE(dynamic_cast<FpuFirFilter*>(firFilter.get()), nullptr);

    const float section[] = {-1.9f, 0.9f, -2.0f, 1.0f};
    const PoleZeroParams poleZeroParams{0.5f, 1, section};
    std::unique_ptr<Filter> poleZero(backend.createPoleZeroCascade(&poleZeroParams));
    EXPECT_NE(dynamic_cast<FpuPoleZeroCascade*>(poleZero.get()), nullptr);

    const PolePair pairs[] = {{1000.0f, 0.9f}, {3000.0f, 0.8f}};
    const PoleParams poleParams{44100, -0.25f, 2, pairs};
    std::unique_ptr<Filter> pole(backend.createPoleCascade(&poleParams));
    EXPECT_NE(dynamic_cast<FpuPoleCascade*>(pole.get()), nullptr);
}

TEST(FpuBackend, RecordsNoComponentCanBeBuiltFromGiveNull) {
    const Backend& backend = fpuBackend();
    const float coefficients[] = {1.0f, 0.0f, 0.0f, 0.0f};
    const PolePair pairs[] = {{1000.0f, 0.9f}};
    const DelayTap taps[] = {{1, 1.0f}};

    const TapDelayParams negativeTaps{taps, -1};
    const TapDelayParams missingTaps{nullptr, 1};
    const FirParams noCoefficients{coefficients, 0};
    const FirParams missingCoefficients{nullptr, 4};
    const PoleZeroParams negativeSections{1.0f, -1, coefficients};
    const PoleZeroParams missingSections{1.0f, 1, nullptr};
    const PoleParams zeroRate{0, 1.0f, 1, pairs};
    const PoleParams negativePairs{44100, 1.0f, -2, pairs};
    const PoleParams missingPairs{44100, 1.0f, 1, nullptr};

    EXPECT_EQ(backend.createChannelBuffer(-1), nullptr);
    EXPECT_EQ(backend.createTapDelay(nullptr), nullptr);
    EXPECT_EQ(backend.createTapDelay(&negativeTaps), nullptr);
    EXPECT_EQ(backend.createTapDelay(&missingTaps), nullptr);
    EXPECT_EQ(backend.createFirFilter(nullptr), nullptr);
    EXPECT_EQ(backend.createFirFilter(&noCoefficients), nullptr);
    EXPECT_EQ(backend.createFirFilter(&missingCoefficients), nullptr);
    EXPECT_EQ(backend.createPoleZeroCascade(nullptr), nullptr);
    EXPECT_EQ(backend.createPoleZeroCascade(&negativeSections), nullptr);
    EXPECT_EQ(backend.createPoleZeroCascade(&missingSections), nullptr);
    EXPECT_EQ(backend.createPoleCascade(nullptr), nullptr);
    EXPECT_EQ(backend.createPoleCascade(&zeroRate), nullptr);
    EXPECT_EQ(backend.createPoleCascade(&negativePairs), nullptr);
    EXPECT_EQ(backend.createPoleCascade(&missingPairs), nullptr);

    // Empty but meaningful records: a buffer without room, a gain-only cascade.
    std::unique_ptr<ChannelBuffer> empty(backend.createChannelBuffer(0));
    EXPECT_NE(empty, nullptr);
    const PoleZeroParams gainOnly{2.0f, 0, nullptr};
    std::unique_ptr<Filter> gainFilter(backend.createPoleZeroCascade(&gainOnly));
    EXPECT_NE(gainFilter, nullptr);
}

}  // namespace
}  // namespace ve32
