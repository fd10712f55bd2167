#pragma once
// A plugin instance in a TestHost with every port connected to buffers of the rig: controls at
// their defaults, audio buffers large enough for the longest block a test uses.

#include <cstdint>
#include <vector>

#include "plugins/lv2/plugin_ports.h"
#include "tests/plugins/lv2/test_host.h"

namespace ve::lv2::testing {

inline constexpr uint32_t kMaxBlock = 8192;

// Block lengths a test cycles through: odd sizes, the engine's chunk size and its neighbours, and
// the largest block a host may use.
inline const std::vector<uint32_t> kBlockPattern = {1,    2,  7,    64,   1023, 1024,
                                                    1025, 13, 4096, 8192, 500};

class ExpanderRig {
  public:
    ExpanderRig(double sampleRate, HostOptions options = {})
        : host(kStereoExpanderUri, sampleRate, options),
          in_(2, std::vector<float>(kMaxBlock)),
          out_(2, std::vector<float>(kMaxBlock)) {
        namespace port = expander_port;
        controls[port::kEnabled] = 1.0f;
        if (!host.instantiated()) return;
        host.connect(port::kInLeft, in_[0].data());
        host.connect(port::kInRight, in_[1].data());
        host.connect(port::kOutLeft, out_[0].data());
        host.connect(port::kOutRight, out_[1].data());
        for (uint32_t p = port::kEnabled; p < port::kCount; ++p) host.connect(p, &controls[p]);
    }

    // Runs one block of frames [first, first + count) of the planar float signals.
    void runBlock(const std::vector<float>& left, const std::vector<float>& right,
                  std::vector<float>& outLeft, std::vector<float>& outRight, size_t first,
                  uint32_t count) {
        std::copy_n(left.begin() + first, count, in_[0].begin());
        std::copy_n(right.begin() + first, count, in_[1].begin());
        host.run(count);
        std::copy_n(out_[0].begin(), count, outLeft.begin() + first);
        std::copy_n(out_[1].begin(), count, outRight.begin() + first);
    }

    float latency() const { return controls[expander_port::kLatency]; }

    TestHost host;
    float controls[expander_port::kCount] = {};

  private:
    std::vector<std::vector<float>> in_;
    std::vector<std::vector<float>> out_;
};

class MonoToStereoRig {
  public:
    MonoToStereoRig(double sampleRate, HostOptions options = {})
        : host(kMonoToStereoUri, sampleRate, options),
          in_(kMaxBlock),
          out_(2, std::vector<float>(kMaxBlock)) {
        namespace port = mono_to_stereo_port;
        controls[port::kEnabled] = 1.0f;
        if (!host.instantiated()) return;
        host.connect(port::kIn, in_.data());
        host.connect(port::kOutLeft, out_[0].data());
        host.connect(port::kOutRight, out_[1].data());
        host.connect(port::kEnabled, &controls[port::kEnabled]);
        host.connect(port::kLatency, &controls[port::kLatency]);
    }

    void runBlock(const std::vector<float>& in, std::vector<float>& outLeft,
                  std::vector<float>& outRight, size_t first, uint32_t count) {
        std::copy_n(in.begin() + first, count, in_.begin());
        host.run(count);
        std::copy_n(out_[0].begin(), count, outLeft.begin() + first);
        std::copy_n(out_[1].begin(), count, outRight.begin() + first);
    }

    float latency() const { return controls[mono_to_stereo_port::kLatency]; }

    TestHost host;
    float controls[mono_to_stereo_port::kCount] = {};

  private:
    std::vector<float> in_;
    std::vector<std::vector<float>> out_;
};

}  // namespace ve::lv2::testing
