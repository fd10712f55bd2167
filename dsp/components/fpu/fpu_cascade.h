#pragma once
// What the two floating-point recursive cascades share: one overall gain applied to the block
// before the sections, a per-section float history, the quiet test on that history, and moving
// the gain into a buffer's input scaling. Each cascade supplies its section arithmetic as
// runners for groups of one to four consecutive sections.

#include <cstdint>

#include "dsp/components/dsp_node.h"

namespace ve32 {

class FpuCascade : public Filter {
  public:
    // Runs `sections` consecutive sections (1 to 4, the array index + 1) over samples[0, count)
    // in place, carrying their history in `state` (two values per section).
    using GroupRunner = void (*)(float* samples, int32_t count, const float* coefficients,
                                 float* state);
    using GroupRunners = GroupRunner[4];

    ~FpuCascade() override;
    FpuCascade(const FpuCascade&) = delete;
    FpuCascade& operator=(const FpuCascade&) = delete;

    bool allocated() const { return coefficients != nullptr && state != nullptr; }

    int32_t isQuiet() override;
    void reset() override;
    // The buffer must come from the floating-point Backend and have delay 0.
    void process(ChannelBuffer* buffer, int32_t count) override;
    void foldGain(ChannelBuffer* buffer) override;
    void unfoldGain(ChannelBuffer* buffer) override;

    float gain;
    int32_t sectionCount;
    float* coefficients;  // coefficientsPerSection values per section
    float* state;         // two history values per section
    int32_t quiet = 1;
    int32_t applyGain = 1;

  protected:
    FpuCascade(float gain, int32_t sectionCount, int32_t coefficientsPerSection,
               const GroupRunners& runners);

  private:
    int32_t coefficientsPerSection_;
    const GroupRunners& runners_;
};

}  // namespace ve32
