#pragma once
// The engines work on 16-bit samples and hosts hand us 32-bit floats at full scale 1.0. A float
// becomes round(x * 32768) saturated to the 16-bit range, and a 16-bit sample s becomes s / 32768,
// so a signal that came from 16-bit samples crosses the plugin without any change of its own and
// the plugin's output is exactly the library's output for those samples.

#include <cmath>
#include <cstdint>

namespace ve::lv2 {

inline int16_t floatToPcm16(float sample) {
    const float scaled = sample * 32768.0f;
    if (std::isnan(scaled)) return 0;  // a broken upstream signal becomes silence, not full scale
    if (scaled >= 32767.0f) return 32767;
    if (scaled <= -32768.0f) return -32768;
    // Round to nearest, ties to even, like the format converters of the common hosts.
    return static_cast<int16_t>(std::lrint(scaled));
}

inline float pcm16ToFloat(int16_t sample) {
    return static_cast<float>(sample) * (1.0f / 32768.0f);
}

}  // namespace ve::lv2
