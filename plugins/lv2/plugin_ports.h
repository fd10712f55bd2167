#pragma once
// URIs and port indices of the plugins in ve.lv2. They are an interface: hosts store them in
// sessions and presets, so they never change. The .ttl files describe the same ports.

#include <cstdint>

namespace ve::lv2 {

inline constexpr const char* kStereoExpanderUri = "urn:ve32:lv2:stereo-expander";
inline constexpr const char* kMonoToStereoUri = "urn:ve32:lv2:mono-to-stereo";

// The largest input delay the expander accepts, in samples (100 ms at 48 kHz).
inline constexpr int32_t kMaxInputDelay = 4800;

namespace expander_port {
enum : uint32_t {
    kInLeft = 0,        // in_l
    kInRight = 1,       // in_r
    kOutLeft = 2,       // out_l
    kOutRight = 3,      // out_r
    kEnabled = 4,       // enabled         lv2:enabled designation, 0 bypasses
    kSpread = 5,        // spread          dB
    kCenter = 6,        // center          dB
    kInputScaleL = 7,   // input_scale_l   dB
    kInputScaleR = 8,   // input_scale_r   dB
    kInputDelayL = 9,   // input_delay_l   samples, 0 to kMaxInputDelay
    kInputDelayR = 10,  // input_delay_r   samples, 0 to kMaxInputDelay
    kShaping = 11,      // shaping         0 pole pairs, 1 second-order section
    kBackend = 12,      // backend         0 automatic, 1 floating point, 2 packed 16-bit
    kLatency = 13,      // latency         output, samples
    kCount = 14
};
}  // namespace expander_port

namespace mono_to_stereo_port {
enum : uint32_t {
    kIn = 0,        // in
    kOutLeft = 1,   // out_l
    kOutRight = 2,  // out_r
    kEnabled = 3,   // enabled   lv2:enabled designation, 0 bypasses
    kLatency = 4,   // latency   output, samples
    kCount = 5
};
}  // namespace mono_to_stereo_port

}  // namespace ve::lv2
