#pragma once
// The packed back-end's pole-zero cascade: direct-form-I sections in Q13 that produce two outputs
// per step from precomputed pair coefficients, the overall gain spread evenly over the sections.
// Instead of a quiet flag it counts the silent input samples since the last signal.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/mmx/kernels.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class MmxPoleZeroCascade final : public Filter {
public:
    // After this many silent samples the history is cleared and silent blocks are skipped.
    static constexpr int32_t kSilentRunLimit = 1000;

    explicit MmxPoleZeroCascade(const PoleZeroParams& params,
                                const MmxKernels& kernels = mmxKernels());
    ~MmxPoleZeroCascade() override;
    MmxPoleZeroCascade(const MmxPoleZeroCascade&) = delete;
    MmxPoleZeroCascade& operator=(const MmxPoleZeroCascade&) = delete;

    bool allocated() const {
        return state_ != nullptr && stepCoefficients_ != nullptr && pairCoefficients_ != nullptr;
    }

    int32_t isQuiet() override;
    void reset() override;
    void process(ChannelBuffer* buffer, int32_t count) override;

    // For tests: per section g, a1, a2, b1 g, b2 g and the twelve pair values, all Q13.
    const int32_t* stepCoefficients() const { return stepCoefficients_; }
    const int32_t* pairCoefficients() const { return pairCoefficients_; }
    int32_t silentRun() const { return silentRun_; }

private:
    const MmxKernels* kernels_;
    int32_t sectionCount_;
    int16_t* state_;             // per section xa, xb, ya, yb
    int32_t* stepCoefficients_;  // per section 5 Q13 values
    int32_t* pairCoefficients_;  // per section 12 Q13 values
    int32_t silentRun_ = kSilentRunLimit;
};

}  // namespace ve32
