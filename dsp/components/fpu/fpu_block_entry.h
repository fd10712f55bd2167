#pragma once
// The start of every floating-point filter's process call: a block with nothing written that
// reaches a quiet filter is skipped (it stays unwritten and reads as silence); otherwise the
// written region is brought up to count, so the filter's decaying output fills the rest.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/fpu/fpu_channel_buffer.h"

namespace ve32 {

// Returns false when the block is to be left untouched.
inline bool enterBlock(DspNode& node, FpuChannelBuffer& buffer, int32_t count) {
    if (count > buffer.written) {
        if (buffer.written == 0 && node.isQuiet() != 0) {
            return false;
        }
        buffer.zeroFillTo(count);
    }
    return true;
}

// Quiet test shared by the floating-point components: a state whose magnitudes sum to at most
// one 16-bit step is silent. A sum that is not a number also counts as quiet.
inline int32_t isSilentState(float magnitudeSum) {
    return magnitudeSum > 1.0f ? 0 : 1;
}

}  // namespace ve32
