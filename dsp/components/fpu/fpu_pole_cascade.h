#pragma once
// Floating-point pole cascade: two-pole resonator sections 1 / (1 + c1 z^-1 + c2 z^-2), one per
// pole pair, with one overall gain, applied in place to a floating-point channel buffer.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class FpuPoleCascade final : public Filter {
public:
    // The record must name pairCount >= 0 pairs and a positive sample rate (the Backend factory
    // checks it).
    explicit FpuPoleCascade(const PoleParams& params);
    ~FpuPoleCascade() override;
    FpuPoleCascade(const FpuPoleCascade&) = delete;
    FpuPoleCascade& operator=(const FpuPoleCascade&) = delete;

    bool allocated() const { return coefficients != nullptr && state != nullptr; }

    int32_t isQuiet() override;
    void reset() override;
    // The buffer must come from the floating-point Backend and have delay 0.
    void process(ChannelBuffer* buffer, int32_t count) override;
    void foldGain(ChannelBuffer* buffer) override;
    void unfoldGain(ChannelBuffer* buffer) override;

    float gain;
    int32_t sectionCount;
    float* coefficients;  // c1, c2 per section
    float* state;         // y(n-1), y(n-2) per section
    int32_t quiet = 1;
    int32_t applyGain = 1;
};

}  // namespace ve32
