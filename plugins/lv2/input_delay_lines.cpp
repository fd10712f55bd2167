#include "plugins/lv2/input_delay_lines.h"

#include <algorithm>
#include <new>

namespace ve::lv2 {

bool InputDelayLines::allocate(int32_t maxDelay) {
    uint32_t length = 1;
    while (length <= static_cast<uint32_t>(std::max(maxDelay, 0))) length <<= 1;
    for (auto& line : lines_) {
        line.reset(new (std::nothrow) int16_t[length]);
        if (!line) return false;
    }
    mask_ = length - 1;
    clear();
    return true;
}

void InputDelayLines::setDelays(int32_t left, int32_t right) {
    delays_[0] = static_cast<uint32_t>(std::clamp<int32_t>(left, 0, static_cast<int32_t>(mask_)));
    delays_[1] = static_cast<uint32_t>(std::clamp<int32_t>(right, 0, static_cast<int32_t>(mask_)));
}

void InputDelayLines::clear() {
    for (auto& line : lines_) {
        if (line) std::fill_n(line.get(), mask_ + 1, int16_t{0});
    }
    writeIndex_ = 0;
}

void InputDelayLines::process(int16_t* interleaved, uint32_t frames) {
    // Without delays the lines need not even be kept: a change of delay clears them anyway.
    if (delays_[0] == 0 && delays_[1] == 0) return;
    for (uint32_t i = 0; i < frames; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            int16_t* line = lines_[ch].get();
            line[writeIndex_] = interleaved[2 * i + ch];
            interleaved[2 * i + ch] = line[(writeIndex_ - delays_[ch]) & mask_];
        }
        writeIndex_ = (writeIndex_ + 1) & mask_;
    }
}

}  // namespace ve::lv2
