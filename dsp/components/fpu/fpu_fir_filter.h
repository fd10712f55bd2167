#pragma once
// Floating-point FIR filter y(n) = b[0] x(n) + ... + b[N-1] x(n-N+1), applied in place to a
// floating-point channel buffer. The last N inputs are kept twice (the doubled history), so the
// window of the N newest inputs is always contiguous and the inner loop never wraps.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class FpuFirFilter final : public Filter {
  public:
    // The record must name tapCount >= 1 coefficients (the Backend factory checks it).
    explicit FpuFirFilter(const FirParams& params);
    ~FpuFirFilter() override;
    FpuFirFilter(const FpuFirFilter&) = delete;
    FpuFirFilter& operator=(const FpuFirFilter&) = delete;

    bool allocated() const { return coefficients != nullptr && history != nullptr; }

    int32_t isQuiet() override;
    void reset() override;
    // The buffer must come from the floating-point Backend and have delay 0.
    void process(ChannelBuffer* buffer, int32_t count) override;

    int32_t tapCount;
    // Where the next input goes: history[position] and history[position + tapCount]. Counts down
    // and wraps from 0 to tapCount - 1.
    int32_t position = 0;
    float* coefficients;
    float* history;  // 2 * tapCount entries; [0, tapCount) hold the newest inputs, rotated
    int32_t quiet = 1;
};

}  // namespace ve32
