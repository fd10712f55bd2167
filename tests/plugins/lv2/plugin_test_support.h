#pragma once
// Shared pieces of the plugin tests: test material, whole-signal runs through a rig, and exact
// comparison of a plugin's float output with the library's 16-bit output.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/plugins/lv2/library_reference.h"
#include "tests/plugins/lv2/plugin_rigs.h"
#include "tests/plugins/lv2/test_signals.h"

namespace ve::lv2::testing {

struct StereoMaterial {
    std::vector<int16_t> left, right, interleaved;
    std::vector<float> leftFloat, rightFloat;
};

inline StereoMaterial makeStereoMaterial(size_t frames) {
    StereoMaterial material;
    material.left = makeChannel(frames, 11);
    material.right = makeChannel(frames, 29);
    material.interleaved = interleave(material.left, material.right);
    material.leftFloat = toFloat(material.left);
    material.rightFloat = toFloat(material.right);
    return material;
}

inline const char* modeName(WorkerMode mode) {
    switch (mode) {
        case WorkerMode::kNone:
            return "no worker";
        case WorkerMode::kDeferred:
            return "deferred worker";
        case WorkerMode::kThreaded:
            return "threaded worker";
    }
    return "?";
}

inline void applySettings(ExpanderRig& rig, const ExpanderSettings& settings) {
    namespace port = expander_port;
    rig.controls[port::kSpread] = settings.spread;
    rig.controls[port::kCenter] = settings.center;
    rig.controls[port::kInputScaleL] = settings.scaleLeft;
    rig.controls[port::kInputScaleR] = settings.scaleRight;
    rig.controls[port::kInputDelayL] = static_cast<float>(settings.delayLeft);
    rig.controls[port::kInputDelayR] = static_cast<float>(settings.delayRight);
    rig.controls[port::kShaping] = static_cast<float>(settings.shaping);
    rig.controls[port::kBackend] = static_cast<float>(settings.backend);
}

// Called before each block with its first frame and length; may change the rig's controls.
using BeforeBlock = std::function<void(size_t first, uint32_t count)>;

// A block the plugin ran: first frame and length.
using Block = std::pair<size_t, uint32_t>;

struct StereoOutput {
    std::vector<float> left, right;
    std::vector<Block> blocks;  // in the order they ran
};

inline StereoOutput runExpander(ExpanderRig& rig, const StereoMaterial& material,
                                const BeforeBlock& beforeBlock = {},
                                const std::vector<uint32_t>& pattern = kBlockPattern) {
    const size_t frames = material.left.size();
    StereoOutput out{std::vector<float>(frames), std::vector<float>(frames), {}};
    size_t first = 0;
    for (size_t block = 0; first < frames; ++block) {
        const auto count = static_cast<uint32_t>(
            std::min<size_t>(pattern[block % pattern.size()], frames - first));
        if (beforeBlock) beforeBlock(first, count);
        rig.runBlock(material.leftFloat, material.rightFloat, out.left, out.right, first, count);
        out.blocks.emplace_back(first, count);
        first += count;
    }
    return out;
}

// Frames [from, to) of one channel of `out` equal the interleaved 16-bit `reference` / 32768.
inline ::testing::AssertionResult matchesPcm(const std::vector<float>& out,
                                             const std::vector<int16_t>& reference, int channel,
                                             size_t from, size_t to) {
    for (size_t t = from; t < to; ++t) {
        const int16_t expected = reference[2 * t + channel];
        if (out[t] != static_cast<float>(expected) / 32768.0f) {
            return ::testing::AssertionFailure()
                   << "channel " << channel << " frame " << t << ": plugin gives "
                   << out[t] * 32768.0f << ", library gives " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult matchesPcm(const StereoOutput& out,
                                             const std::vector<int16_t>& reference, size_t from,
                                             size_t to) {
    auto left = matchesPcm(out.left, reference, 0, from, to);
    return left ? matchesPcm(out.right, reference, 1, from, to) : left;
}

}  // namespace ve::lv2::testing
