// The stereo expander plugin driven block by block: its output must be the library's output for
// the same 16-bit samples and settings, with and without a host worker.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tests/plugins/lv2/plugin_test_support.h"

namespace ve::lv2::testing {
namespace {

namespace port = expander_port;

constexpr size_t kFrames = 60000;
const WorkerMode kAllModes[] = {WorkerMode::kNone, WorkerMode::kDeferred, WorkerMode::kThreaded};
const WorkerMode kSynchronousModes[] = {WorkerMode::kNone, WorkerMode::kDeferred};

struct SettingsCase {
    const char* name;
    int rate;
    ExpanderSettings settings;
};

TEST(StereoExpanderPlugin, MatchesTheLibraryForAnyBlockLength) {
    const SettingsCase cases[] = {
        {"defaults", 44100, {}},
        {"all gains", 48000, {6.0f, -4.5f, -2.0f, 1.5f, 0, 0, 0, 0}},
        {"input delays", 44100, {3.0f, 0.0f, 0.0f, 0.0f, 10, 3, 0, 0}},
        {"longest delay", 32000, {0.0f, 0.0f, 0.0f, 0.0f, kMaxInputDelay, 1, 0, 0}},
        {"section shaping", 22050, {2.0f, -1.0f, 0.0f, 0.0f, 0, 7, 1, 0}},
        {"floating point", 16000, {4.0f, 0.0f, 0.0f, -3.0f, 2, 0, 0, VE32_BACKEND_FPU}},
        {"packed 16-bit", 8000, {4.0f, 0.0f, 0.0f, -3.0f, 0, 0, 1, VE32_BACKEND_MMX}},
    };
    const StereoMaterial material = makeStereoMaterial(kFrames);
    for (const SettingsCase& c : cases) {
        for (WorkerMode mode : kAllModes) {
            SCOPED_TRACE(std::string(c.name) + ", " + modeName(mode));
            ExpanderRig rig(c.rate, {mode});
            ASSERT_TRUE(rig.host.instantiated());
            applySettings(rig, c.settings);
            rig.host.activate();
            const StereoOutput out = runExpander(rig, material);
            std::vector<int16_t> reference(material.interleaved.size());
            LibraryExpander library(c.rate, c.settings);
            library.processBlocks(material.interleaved, reference, out.blocks, 0, kFrames);
            EXPECT_TRUE(matchesPcm(out, reference, 0, kFrames));
        }
    }
}

TEST(StereoExpanderPlugin, HostSamplesReachTheEngineRoundedAndSaturated) {
    // x becomes round(x * 32768), ties to even, saturated; NaN becomes silence.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float host;
        int16_t engine;
    };
    const Case cases[] = {
        {0.5f / 32768, 0},
        {1.5f / 32768, 2},
        {2.5f / 32768, 2},
        {-0.5f / 32768, 0},
        {-1.5f / 32768, -2},
        {0.4f / 32768, 0},
        {-100.6f / 32768, -101},
        {32766.5f / 32768, 32766},
        {32767.4f / 32768, 32767},
        {1.0f, 32767},
        {-1.0f, -32768},
        {-1.00002f, -32768},
        {3.0f, 32767},
        {inf, 32767},
        {-inf, -32768},
        {nan, 0},
        {1e-30f, 0},
        {0.25f, 8192},
    };
    const size_t frames = 4 * std::size(cases);
    std::vector<float> left(frames), right(frames);
    std::vector<int16_t> engineIn(2 * frames);
    for (size_t t = 0; t < frames; ++t) {
        const Case& l = cases[t % std::size(cases)];
        const Case& r = cases[(t * 7 + 3) % std::size(cases)];
        left[t] = l.host;
        right[t] = r.host;
        engineIn[2 * t] = l.engine;
        engineIn[2 * t + 1] = r.engine;
    }
    ExpanderRig rig(44100, {WorkerMode::kNone});
    rig.controls[port::kSpread] = 6.0f;
    rig.host.activate();
    StereoOutput out{std::vector<float>(frames), std::vector<float>(frames), {}};
    rig.runBlock(left, right, out.left, out.right, 0, static_cast<uint32_t>(frames));

    std::vector<int16_t> reference(2 * frames);
    LibraryExpander library(44100, {6.0f});
    library.process(engineIn, reference, 0, frames);
    EXPECT_TRUE(matchesPcm(out, reference, 0, frames));
}

TEST(StereoExpanderPlugin, GainChangesApplyFromTheNextBlock) {
    // Spread, center and input scale reach the engine at the start of the block after the change.
    const StereoMaterial material = makeStereoMaterial(kFrames);
    const ExpanderSettings steps[] = {
        {},
        {6.0f, 0.0f, 0.0f, 0.0f},
        {6.0f, -6.0f, 0.0f, 0.0f},
        {-60.0f, -6.0f, -3.0f, 2.0f},
        {12.0f, 12.0f, 12.0f, -60.0f},
    };
    for (WorkerMode mode : kSynchronousModes) {
        SCOPED_TRACE(modeName(mode));
        ExpanderRig rig(44100, {mode});
        rig.host.activate();
        std::vector<size_t> changeFrames;
        size_t step = 0;
        const StereoOutput out = runExpander(rig, material, [&](size_t first, uint32_t) {
            if (step + 1 < std::size(steps) && first >= (step + 1) * 11000) {
                applySettings(rig, steps[++step]);
                changeFrames.push_back(first);
            }
        });
        ASSERT_EQ(changeFrames.size(), std::size(steps) - 1);

        std::vector<int16_t> reference(material.interleaved.size());
        LibraryExpander library(44100, steps[0]);
        size_t done = 0;
        for (size_t i = 0; i < changeFrames.size(); ++i) {
            library.processBlocks(material.interleaved, reference, out.blocks, done,
                                  changeFrames[i]);
            library.setGains(steps[i + 1]);
            done = changeFrames[i];
        }
        library.processBlocks(material.interleaved, reference, out.blocks, done, kFrames);
        EXPECT_TRUE(matchesPcm(out, reference, 0, kFrames));
    }
}

TEST(StereoExpanderPlugin, EngineChangesRestartTheExpander) {
    // Input delay, shaping table and back-end need another engine. Without a worker the change
    // happens in the block that sees it; with a worker in the block after the worker answered.
    // From then on the output is that of a freshly opened engine with the new settings.
    struct ChangeCase {
        const char* name;
        ExpanderSettings before, after;
    };
    const ChangeCase cases[] = {
        {"input delay", {3.0f, 0.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f, 0.0f, 37, 5}},
        {"delay back to zero", {0.0f, 0.0f, 0.0f, 0.0f, 100, 0}, {}},
        {"shaping table", {2.0f, -3.0f}, {2.0f, -3.0f, 0.0f, 0.0f, 0, 0, 1, 0}},
        {"back-end", {}, {0.0f, 0.0f, 0.0f, 0.0f, 0, 0, 0, VE32_BACKEND_FPU}},
        {"everything at once", {}, {-3.0f, 1.0f, -1.0f, 0.5f, 12, 4800, 1, VE32_BACKEND_MMX}},
    };
    const StereoMaterial material = makeStereoMaterial(kFrames);
    for (const ChangeCase& c : cases) {
        for (WorkerMode mode : kSynchronousModes) {
            SCOPED_TRACE(std::string(c.name) + ", " + modeName(mode));
            ExpanderRig rig(44100, {mode});
            applySettings(rig, c.before);
            rig.host.activate();
            size_t changeFrame = 0, switchFrame = 0;
            const StereoOutput out = runExpander(rig, material, [&](size_t first, uint32_t count) {
                if (switchFrame == 0 && first >= 20000) {
                    applySettings(rig, c.after);
                    changeFrame = first;
                    switchFrame = mode == WorkerMode::kNone ? first : first + count;
                }
            });
            // Gains reach the old engine at once; the new engine arrives at the switch.
            std::vector<int16_t> reference(material.interleaved.size());
            LibraryExpander before(44100, c.before);
            before.processBlocks(material.interleaved, reference, out.blocks, 0, changeFrame);
            before.setGains(c.after);
            before.processBlocks(material.interleaved, reference, out.blocks, changeFrame,
                                 switchFrame);
            LibraryExpander after(44100, c.after);
            after.processBlocks(material.interleaved, reference, out.blocks, switchFrame, kFrames);
            EXPECT_TRUE(matchesPcm(out, reference, 0, kFrames));
            EXPECT_EQ(rig.latency(), c.after.shaping != 0 ? 0.0f : 5.0f);
        }
    }
}

TEST(StereoExpanderPlugin, BypassPassesAnyFloatSignalUnchanged) {
    // Bypass copies the host's samples; they are not squeezed through 16 bits.
    std::vector<float> left(5000), right(5000);
    for (size_t t = 0; t < left.size(); ++t) {
        left[t] = 1.7f * std::sin(0.001f * static_cast<float>(t)) + 1e-7f;
        right[t] = std::cos(0.37f * static_cast<float>(t)) / 3.0f;
    }
    for (WorkerMode mode : kSynchronousModes) {
        SCOPED_TRACE(modeName(mode));
        ExpanderRig rig(48000, {mode});
        rig.controls[port::kEnabled] = 0.0f;
        rig.controls[port::kSpread] = 6.0f;
        rig.host.activate();
        std::vector<float> outLeft(left.size()), outRight(left.size());
        for (size_t first = 0; first < left.size(); first += 1000) {
            rig.runBlock(left, right, outLeft, outRight, first, 1000);
        }
        EXPECT_EQ(outLeft, left);
        EXPECT_EQ(outRight, right);
    }
}

TEST(StereoExpanderPlugin, BypassCrossfadesAndReenablingStartsFromSilence) {
    const int rate = 44100;
    const size_t fade = rate / 100;
    const StereoMaterial material = makeStereoMaterial(kFrames);
    for (WorkerMode mode : kSynchronousModes) {
        SCOPED_TRACE(modeName(mode));
        ExpanderRig rig(rate, {mode});
        rig.controls[port::kSpread] = 6.0f;
        rig.controls[port::kInputDelayL] = 20.0f;
        rig.host.activate();
        size_t disabledAt = 0, enabledAt = 0;
        const StereoOutput out = runExpander(rig, material, [&](size_t first, uint32_t) {
            if (disabledAt == 0 && first >= 15000) {
                rig.controls[port::kEnabled] = 0.0f;
                disabledAt = first;
            } else if (disabledAt != 0 && enabledAt == 0 && first >= 30000) {
                rig.controls[port::kEnabled] = 1.0f;
                enabledAt = first;
            }
        });
        ASSERT_GT(enabledAt, disabledAt + fade);

        ExpanderSettings settings;
        settings.spread = 6.0f;
        settings.delayLeft = 20;
        std::vector<int16_t> running(material.interleaved.size());
        LibraryExpander first(rate, settings);
        first.processBlocks(material.interleaved, running, out.blocks, 0, kFrames);
        std::vector<int16_t> restarted(material.interleaved.size());
        LibraryExpander second(rate, settings);
        second.processBlocks(material.interleaved, restarted, out.blocks, enabledAt, kFrames);

        EXPECT_TRUE(matchesPcm(out, running, 0, disabledAt));
        EXPECT_TRUE(std::equal(out.left.begin() + disabledAt + fade, out.left.begin() + enabledAt,
                               material.leftFloat.begin() + disabledAt + fade));
        EXPECT_TRUE(std::equal(out.right.begin() + disabledAt + fade, out.right.begin() + enabledAt,
                               material.rightFloat.begin() + disabledAt + fade));
        EXPECT_TRUE(matchesPcm(out, restarted, enabledAt + fade, kFrames));

        // Inside both ramps each output sample lies between the processed and the dry sample.
        auto between = [&](size_t t, int channel, const std::vector<int16_t>& wet) {
            const float dry = channel == 0 ? material.leftFloat[t] : material.rightFloat[t];
            const float processed = static_cast<float>(wet[2 * t + channel]) / 32768.0f;
            const float value = channel == 0 ? out.left[t] : out.right[t];
            const float tolerance = 1e-6f;
            return value >= std::min(dry, processed) - tolerance &&
                   value <= std::max(dry, processed) + tolerance;
        };
        for (size_t t = 0; t < fade; ++t) {
            for (int channel = 0; channel < 2; ++channel) {
                ASSERT_TRUE(between(disabledAt + t, channel, running)) << "fade out, frame " << t;
                ASSERT_TRUE(between(enabledAt + t, channel, restarted)) << "fade in, frame " << t;
            }
        }
    }
}

TEST(StereoExpanderPlugin, SharedInputAndOutputBuffersGiveTheSameOutput) {
    // Hosts such as ffmpeg process in place: out_l is in_l and out_r is in_r.
    const StereoMaterial material = makeStereoMaterial(20000);
    std::vector<int16_t> reference(material.interleaved.size());
    LibraryExpander library(44100, {5.0f, -2.0f, 0.0f, 0.0f, 9, 0});
    for (size_t first = 0; first < 20000; first += 2500) {
        library.process(material.interleaved, reference, first, 2500);
    }

    ExpanderRig rig(44100, {WorkerMode::kNone});
    applySettings(rig, {5.0f, -2.0f, 0.0f, 0.0f, 9, 0});
    std::vector<float> left(kMaxBlock), right(kMaxBlock);
    rig.host.connect(port::kInLeft, left.data());
    rig.host.connect(port::kOutLeft, left.data());
    rig.host.connect(port::kInRight, right.data());
    rig.host.connect(port::kOutRight, right.data());
    rig.host.activate();
    StereoOutput out{std::vector<float>(20000), std::vector<float>(20000), {}};
    for (size_t first = 0; first < 20000; first += 2500) {
        std::copy_n(material.leftFloat.begin() + first, 2500, left.begin());
        std::copy_n(material.rightFloat.begin() + first, 2500, right.begin());
        rig.host.run(2500);
        std::copy_n(left.begin(), 2500, out.left.begin() + first);
        std::copy_n(right.begin(), 2500, out.right.begin() + first);
    }
    EXPECT_TRUE(matchesPcm(out, reference, 0, 20000));
}

// The library's direct-path delay, measured: with the difference path turned down to nothing the
// output is the input delayed by exactly that many samples.
int measuredDirectPathDelay(int rate, int shaping) {
    ExpanderSettings settings;
    settings.spread = -200.0f;
    settings.shaping = shaping;
    LibraryExpander library(rate, settings);
    std::vector<int16_t> in(2 * 64, 0), out(2 * 64, 0);
    in[0] = 10000;
    library.process(in, out, 0, 64);
    for (int t = 0; t < 64; ++t) {
        if (out[2 * t] != 0) return t;
    }
    return -1;
}

TEST(StereoExpanderPlugin, LatencyPortReportsTheDirectPathDelay) {
    const int rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    for (int rate : rates) {
        for (int shaping = 0; shaping < 2; ++shaping) {
            SCOPED_TRACE(::testing::Message() << rate << " Hz, shaping " << shaping);
            ExpanderRig rig(rate, {WorkerMode::kNone});
            rig.controls[port::kShaping] = static_cast<float>(shaping);
            rig.controls[port::kLatency] = -1.0f;
            rig.host.activate();
            rig.host.run(0);  // a zero-length block updates the control outputs only
            EXPECT_EQ(rig.latency(), static_cast<float>(measuredDirectPathDelay(rate, shaping)));
        }
    }
}

TEST(StereoExpanderPlugin, RefusedWorkerRequestsAreRetried) {
    // A full worker queue, in either direction, delays a change but never loses it.
    const StereoMaterial material = makeStereoMaterial(kFrames);
    const ExpanderSettings after{0.0f, 0.0f, 0.0f, 0.0f, 25, 0, 1, 0};
    for (int refusal = 0; refusal < 2; ++refusal) {
        SCOPED_TRACE(refusal == 0 ? "schedule refused" : "respond refused");
        ExpanderRig rig(44100, {WorkerMode::kDeferred});
        rig.host.activate();
        bool changed = false;
        const StereoOutput out = runExpander(rig, material, [&](size_t first, uint32_t) {
            if (!changed && first >= 10000) {
                applySettings(rig, after);
                if (refusal == 0) rig.host.refuseSchedules(3);
                if (refusal == 1) rig.host.refuseResponds(2);
                changed = true;
            }
        });
        const size_t switchFrame = rig.host.lastResponseFrame();
        ASSERT_GT(switchFrame, 10000u);
        std::vector<int16_t> reference(material.interleaved.size());
        LibraryExpander library(44100, after);
        library.processBlocks(material.interleaved, reference, out.blocks, switchFrame, kFrames);
        EXPECT_TRUE(matchesPcm(out, reference, switchFrame, kFrames));
        EXPECT_EQ(rig.latency(), 0.0f);
    }
}

TEST(StereoExpanderPlugin, ThreadedWorkerEndsWithTheLastSettings) {
    // Many changes while a real worker thread opens engines concurrently; once it has delivered
    // the last one, the output is that engine's from the block it arrived in.
    const StereoMaterial material = makeStereoMaterial(kFrames);
    ExpanderRig rig(48000, {WorkerMode::kThreaded});
    rig.host.activate();
    ExpanderSettings last;
    const StereoOutput out = runExpander(
        rig, material,
        [&](size_t first, uint32_t) {
            if (first < 40000) {
                last = {static_cast<float>(first % 7),
                        -1.0f,
                        0.0f,
                        0.0f,
                        static_cast<int>(first % 50),
                        static_cast<int>(first % 3),
                        static_cast<int>(first / 1000 % 2),
                        static_cast<int>(first % 3)};
                applySettings(rig, last);
            } else if (first < 50000) {
                rig.host.settleWorker();  // the answer is delivered before the next block
            }
        },
        {64, 128, 256});
    const size_t switchFrame = rig.host.lastResponseFrame();
    ASSERT_GE(switchFrame, 40000u);
    ASSERT_LT(switchFrame, 50000u);
    std::vector<int16_t> reference(material.interleaved.size());
    LibraryExpander library(48000, last);
    library.processBlocks(material.interleaved, reference, out.blocks, switchFrame, kFrames);
    EXPECT_TRUE(matchesPcm(out, reference, switchFrame, kFrames));
}

}  // namespace
}  // namespace ve::lv2::testing
