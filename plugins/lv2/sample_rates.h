#pragma once
// The sample rates the engines are tuned for, and how a host's rate maps onto them.

#include <cstdint>

namespace ve::lv2 {

inline constexpr const char* kSupportedRatesText =
    "8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 and 48000 Hz";

// The host's rate as a whole number of hertz, or 0 when it is not one (hosts pass a double).
inline int32_t wholeSampleRate(double rate) {
    if (!(rate >= 1.0 && rate <= 2147483647.0)) return 0;
    const auto whole = static_cast<int32_t>(rate);
    return static_cast<double>(whole) == rate ? whole : 0;
}

// Crossfade length for bypass switching: 10 ms.
inline uint32_t bypassFadeFrames(int32_t sampleRate) {
    return static_cast<uint32_t>(sampleRate / 100);
}

}  // namespace ve::lv2
