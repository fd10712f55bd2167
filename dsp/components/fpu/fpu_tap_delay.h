#pragma once
// Floating-point multi-tap delay line: adds to an output buffer the input delayed by each tap's
// delay and scaled by its gain, keeping the last `length` inputs in a circular history so that
// delays may reach back beyond the current block.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class FpuTapDelay final : public TapDelay {
  public:
    // The record must name tapCount >= 0 taps (the Backend factory checks it). A negative delay
    // is taken as 0; a delay line without taps adds nothing to its output.
    explicit FpuTapDelay(const TapDelayParams& params);
    ~FpuTapDelay() override;
    FpuTapDelay(const FpuTapDelay&) = delete;
    FpuTapDelay& operator=(const FpuTapDelay&) = delete;

    bool allocated() const { return taps != nullptr && history != nullptr; }

    int32_t isQuiet() override;
    void reset() override;
    // Both buffers must come from the floating-point Backend and be distinct.
    void process(ChannelBuffer* in, ChannelBuffer* out, int32_t count) override;

    int32_t tapCount;
    int32_t length = 0;  // the largest tap delay
    DelayTap* taps;
    // Input sample d before the next block's first sample (1 <= d <= length) is
    // history[(writePosition - d) mod length].
    float* history = nullptr;
    int32_t writePosition = 0;  // the oldest sample; the next block starts here
    int32_t quiet = 1;
};

}  // namespace ve32
