#pragma once
// Floating-point pole-zero cascade: direct form II sections
// (1 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) with one overall gain, applied in place to a
// floating-point channel buffer.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class FpuPoleZeroCascade final : public Filter {
public:
    // The record must name sectionCount >= 0 sections (the Backend factory checks it).
    explicit FpuPoleZeroCascade(const PoleZeroParams& params);
    ~FpuPoleZeroCascade() override;
    FpuPoleZeroCascade(const FpuPoleZeroCascade&) = delete;
    FpuPoleZeroCascade& operator=(const FpuPoleZeroCascade&) = delete;

    bool allocated() const { return coefficients != nullptr && state != nullptr; }

    int32_t isQuiet() override;
    void reset() override;
    // The buffer must come from the floating-point Backend and have delay 0.
    void process(ChannelBuffer* buffer, int32_t count) override;
    void foldGain(ChannelBuffer* buffer) override;
    void unfoldGain(ChannelBuffer* buffer) override;

    float gain;
    int32_t sectionCount;
    float* coefficients;  // a1, a2, b1, b2 per section
    float* state;         // w(n-1), w(n-2) per section
    int32_t quiet = 1;
    int32_t applyGain = 1;
};

}  // namespace ve32
