// The mono-to-stereo plugin driven block by block: its output must be the library's output for
// the same 16-bit samples.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/plugins/lv2/plugin_test_support.h"

namespace ve::lv2::testing {
namespace {

namespace port = mono_to_stereo_port;

constexpr size_t kFrames = 40000;

StereoOutput runMonoToStereo(MonoToStereoRig& rig, const std::vector<float>& in,
                             const BeforeBlock& beforeBlock = {}) {
    StereoOutput out{std::vector<float>(in.size()), std::vector<float>(in.size()), {}};
    size_t first = 0;
    for (size_t block = 0; first < in.size(); ++block) {
        const auto count = static_cast<uint32_t>(
            std::min<size_t>(kBlockPattern[block % kBlockPattern.size()], in.size() - first));
        if (beforeBlock) beforeBlock(first, count);
        rig.runBlock(in, out.left, out.right, first, count);
        out.blocks.emplace_back(first, count);
        first += count;
    }
    return out;
}

TEST(MonoToStereoPlugin, MatchesTheLibraryAtEveryRateForAnyBlockLength) {
    const std::vector<int16_t> in = makeChannel(kFrames, 5);
    const std::vector<float> inFloat = toFloat(in);
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        SCOPED_TRACE(::testing::Message() << rate << " Hz");
        MonoToStereoRig rig(rate);
        ASSERT_TRUE(rig.host.instantiated());
        rig.host.activate();
        const StereoOutput out = runMonoToStereo(rig, inFloat);
        EXPECT_TRUE(matchesPcm(out, libraryMonoToStereo(rate, in, out.blocks), 0, kFrames));
    }
}

TEST(MonoToStereoPlugin, BypassCopiesTheInputToBothChannels) {
    std::vector<float> in(3000);
    for (size_t t = 0; t < in.size(); ++t) in[t] = 1.3f * std::sin(0.01f * static_cast<float>(t));
    MonoToStereoRig rig(44100);
    rig.controls[port::kEnabled] = 0.0f;
    rig.host.activate();
    const StereoOutput out = runMonoToStereo(rig, in);
    EXPECT_EQ(out.left, in);
    EXPECT_EQ(out.right, in);
}

TEST(MonoToStereoPlugin, ReenablingAfterBypassStartsFromSilence) {
    // The library's own bypass keeps the engine's memory; the plugin resets it when its fade to
    // bypass ends, so nothing heard before the bypass comes back after it.
    const int rate = 22050;
    const size_t fade = rate / 100;
    const std::vector<int16_t> in = makeChannel(kFrames, 8);
    const std::vector<float> inFloat = toFloat(in);
    MonoToStereoRig rig(rate);
    rig.host.activate();
    size_t disabledAt = 0, enabledAt = 0;
    const StereoOutput out = runMonoToStereo(rig, inFloat, [&](size_t first, uint32_t) {
        if (disabledAt == 0 && first >= 10000) {
            rig.controls[port::kEnabled] = 0.0f;
            disabledAt = first;
        } else if (disabledAt != 0 && enabledAt == 0 && first >= 20000) {
            rig.controls[port::kEnabled] = 1.0f;
            enabledAt = first;
        }
    });
    const std::vector<int16_t> running = libraryMonoToStereo(rate, in, out.blocks);
    const std::vector<int16_t> restarted = libraryMonoToStereo(rate, in, out.blocks, enabledAt);

    EXPECT_TRUE(matchesPcm(out, running, 0, disabledAt));
    for (size_t t = disabledAt + fade; t < enabledAt; ++t) {
        ASSERT_EQ(out.left[t], inFloat[t]) << t;
        ASSERT_EQ(out.right[t], inFloat[t]) << t;
    }
    EXPECT_TRUE(matchesPcm(out, restarted, enabledAt + fade, kFrames));
}

TEST(MonoToStereoPlugin, LatencyPortReportsTheMeasuredDelayOfTheRightChannel) {
    std::vector<int16_t> impulse(64, 0);
    impulse[0] = 10000;
    const std::vector<int16_t> response = libraryMonoToStereo(48000, impulse);
    int delay = 0;
    while (response[2 * delay + 1] == 0) ++delay;

    MonoToStereoRig rig(48000);
    rig.controls[port::kLatency] = -1.0f;
    rig.host.activate();
    rig.host.run(0);
    EXPECT_EQ(rig.latency(), static_cast<float>(delay));
}

TEST(MonoToStereoPlugin, SharedInputAndOutputBufferGivesTheSameOutput) {
    const std::vector<int16_t> in = makeChannel(10000, 3);
    const std::vector<float> inFloat = toFloat(in);
    MonoToStereoRig rig(44100);
    std::vector<float> shared(kMaxBlock), right(kMaxBlock);
    rig.host.connect(port::kIn, shared.data());
    rig.host.connect(port::kOutLeft, shared.data());
    rig.host.connect(port::kOutRight, right.data());
    rig.host.activate();
    StereoOutput out{std::vector<float>(10000), std::vector<float>(10000), {}};
    for (size_t first = 0; first < 10000; first += 1250) {
        std::copy_n(inFloat.begin() + first, 1250, shared.begin());
        rig.host.run(1250);
        std::copy_n(shared.begin(), 1250, out.left.begin() + first);
        std::copy_n(right.begin(), 1250, out.right.begin() + first);
    }
    EXPECT_TRUE(matchesPcm(out, libraryMonoToStereo(44100, in, 1250), 0, 10000));
}

}  // namespace
}  // namespace ve::lv2::testing
