#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "dsp/components/mmx/mmx_backend.h"
#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "dsp/components/mmx/mmx_fir_filter.h"
#include "dsp/components/mmx/mmx_pole_cascade.h"
#include "dsp/components/mmx/mmx_pole_zero_cascade.h"
#include "dsp/components/mmx/mmx_tap_delay.h"

namespace ve32 {
namespace {

TEST(MmxBackend, FactoriesBuildThePackedComponents) {
    const Backend& backend = mmxBackend();
    std::unique_ptr<ChannelBuffer> buffer(backend.createChannelBuffer(1024));
    ASSERT_NE(dynamic_cast<MmxChannelBuffer*>(buffer.get()), nullptr);

    const DelayTap tap{5, 0.5f};
    const TapDelayParams tapParams{&tap, 1};
    std::unique_ptr<TapDelay> delay(backend.createTapDelay(&tapParams));
    EXPECT_NE(dynamic_cast<MmxTapDelay*>(delay.get()), nullptr);

    const std::vector<float> taps(45, 0.01f);
    const FirParams firParams{taps.data(), 45};
    std::unique_ptr<Filter> fir(backend.createFirFilter(&firParams));
    EXPECT_NE(dynamic_cast<MmxFirFilter*>(fir.get()), nullptr);

    const float section[4] = {-1.9f, 0.9f, -2.0f, 1.0f};
    const PoleZeroParams pzParams{0.95f, 1, section};
    std::unique_ptr<Filter> pz(backend.createPoleZeroCascade(&pzParams));
    EXPECT_NE(dynamic_cast<MmxPoleZeroCascade*>(pz.get()), nullptr);

    const PolePair pair{1000.0f, 0.9f};
    const PoleParams poleParams{44100, -0.5f, 1, &pair};
    std::unique_ptr<Filter> poles(backend.createPoleCascade(&poleParams));
    EXPECT_NE(dynamic_cast<MmxPoleCascade*>(poles.get()), nullptr);

    // Components made by one back-end work together through the interfaces.
    std::vector<int16_t> input(1024, 1000), output(1024);
    buffer->mix16(input.data(), 0.5f, 0.0f, 1024, 0);
    pz->process(buffer.get(), 1024);
    poles->process(buffer.get(), 1024);
    buffer->writeMono16(output.data(), 1024);
    EXPECT_NE(output[10], 0);
}

TEST(MmxBackend, OneInstanceForTheLibrary) {
    EXPECT_EQ(&mmxBackend(), &mmxBackend());
}

}  // namespace
}  // namespace ve32
