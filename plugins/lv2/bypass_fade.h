#pragma once
// Click-free switching between processing and bypass, as the lv2:enabled designation asks of a
// plugin: the output crossfades linearly between the processed (wet) and the untouched (dry)
// signal over a short ramp. Outside a ramp the output is exactly the wet or exactly the dry signal.

#include <cstdint>

namespace ve::lv2 {

class BypassFade {
  public:
    // Length of one crossfade in frames (at least 1).
    void setLength(uint32_t frames);
    // Goes to a state at once, without a ramp (the first block after activation).
    void jumpTo(bool processing);
    // Starts (or reverses) a ramp towards processing or bypass.
    void setTarget(bool processing) { target_ = processing; }

    bool bypassed() const { return position_ == 0 && !target_; }
    bool processing() const { return position_ == length_ && target_; }

    // Mixes one block: out[i] = g[i] * wet[i] + (1 - g[i]) * dry[i] for each channel, where g
    // follows the ramp and advances by one step per frame. out may equal wet or dry.
    void mix(const float* const* wet, const float* const* dry, float* const* out, int channels,
             uint32_t frames);

  private:
    uint32_t length_ = 1;
    uint32_t position_ = 1;  // 0 = fully bypassed, length_ = fully processing
    bool target_ = true;
};

}  // namespace ve::lv2
