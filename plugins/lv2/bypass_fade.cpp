#include "plugins/lv2/bypass_fade.h"

#include <algorithm>

namespace ve::lv2 {

void BypassFade::setLength(uint32_t frames) {
    length_ = std::max<uint32_t>(frames, 1);
    jumpTo(target_);
}

void BypassFade::jumpTo(bool processing) {
    target_ = processing;
    position_ = processing ? length_ : 0;
}

void BypassFade::mix(const float* const* wet, const float* const* dry, float* const* out,
                     int channels, uint32_t frames) {
    const float step = 1.0f / static_cast<float>(length_);
    for (uint32_t i = 0; i < frames; ++i) {
        // The ends are exact so that a ramp that finishes inside a block leaves exactly the wet
        // or exactly the dry signal for the rest of it.
        const float gain = position_ == length_ ? 1.0f : static_cast<float>(position_) * step;
        for (int ch = 0; ch < channels; ++ch) {
            out[ch][i] = gain * wet[ch][i] + (1.0f - gain) * dry[ch][i];
        }
        if (target_ && position_ < length_) ++position_;
        if (!target_ && position_ > 0) --position_;
    }
}

}  // namespace ve::lv2
