#pragma once
// The packed back-end's pole-zero cascade: direct-form-I sections in Q13 that produce two outputs
// per step from precomputed pair coefficients, the overall gain spread evenly over the sections.
// Instead of a quiet flag it counts the silent input samples since the last signal.
//
// Sections whose poles lie so close to z = 1 (or z = -1) that 13 fraction bits cannot carry them,
// such as the 75 Hz high-pass, run the same pair and single steps with extended precision
// (see needsExtendedPrecision).

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
        return state_ != nullptr && stepCoefficients_ != nullptr && pairCoefficients_ != nullptr &&
               extended_ != nullptr;
    }

    int32_t isQuiet() override;
    void reset() override;
    void process(ChannelBuffer* buffer, int32_t count) override;

    // For tests: per section g, a1, a2, b1 g, b2 g and the twelve pair values, all Q13.
    const int32_t* stepCoefficients() const { return stepCoefficients_; }
    const int32_t* pairCoefficients() const { return pairCoefficients_; }
    int32_t silentRun() const { return silentRun_; }
    bool usesExtendedPrecision(int32_t section) const { return extended_[section].enabled; }

    // True for a section 1 + a1 z^-1 + a2 z^-2 whose recursion amplifies the lowest or the highest
    // frequencies by more than 128 (|1 + a1 + a2| or |1 - a1 + a2| below 1/128).
    static bool needsExtendedPrecision(double a1, double a2);

  private:
    // A section in extended precision: Q28 coefficients and an output history with 12 fraction
    // bits below the sample step.
    struct ExtendedSection {
        bool enabled;
        ExtendedPairCoefficients pair;
        int64_t stepInput[3];  // g, b1 g, b2 g, Q28
        int64_t stepBack[2];   // -a1, -a2, Q28
        int64_t history[2];    // y(n-2), y(n-1), Q12
    };
    static void extendedSingle(ExtendedSection& section, int16_t* state, int16_t* sample);

    const MmxKernels* kernels_;
    int32_t sectionCount_;
    int16_t* state_;             // per section xa, xb, ya, yb
    int32_t* stepCoefficients_;  // per section 5 Q13 values
    int32_t* pairCoefficients_;  // per section 12 Q13 values
    ExtendedSection* extended_;
    int32_t silentRun_ = kSilentRunLimit;
};

}  // namespace ve32
