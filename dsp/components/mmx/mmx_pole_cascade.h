#pragma once
// The packed back-end's pole cascade: two-pole resonator sections whose whole groups of four
// samples go through a two-outputs-per-step path with Q13 pair coefficients, the remaining one to
// three samples through a Q14 single-sample path; the overall gain is spread over the sections.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/mmx/kernels.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class MmxPoleCascade final : public Filter {
  public:
    explicit MmxPoleCascade(const PoleParams& params, const MmxKernels& kernels = mmxKernels());
    ~MmxPoleCascade() override;
    MmxPoleCascade(const MmxPoleCascade&) = delete;
    MmxPoleCascade& operator=(const MmxPoleCascade&) = delete;

    bool allocated() const {
        return stepCoefficients_ != nullptr && pairCoefficients_ != nullptr && state_ != nullptr;
    }

    int32_t isQuiet() override;
    void reset() override;
    void process(ChannelBuffer* buffer, int32_t count) override;

    // For tests: per section g, c1, c2 in Q14 and the eight Q13 pair values; ya, yb per section.
    const int16_t* stepCoefficients() const { return stepCoefficients_; }
    const int16_t* pairCoefficients() const { return pairCoefficients_; }
    const int16_t* state() const { return state_; }

  private:
    const MmxKernels* kernels_;
    int32_t sectionCount_;
    int16_t* stepCoefficients_;  // per section g, c1, c2 (Q14)
    int16_t* pairCoefficients_;  // per section 8 values (Q13)
    int16_t* state_;             // per section y(n-2), y(n-1)
    int32_t quiet_ = 1;
};

}  // namespace ve32
