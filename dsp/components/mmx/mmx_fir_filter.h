#pragma once
// The packed back-end's FIR filter: Q15 coefficients over the doubled int16 history. The
// coefficients are kept in four copies shifted by 0 to 3 positions, so that every window starts a
// multiple of four entries into the history and has a length that is a multiple of 16; products
// are summed in pairs from the window's start, each pair shifted down by 15 before the pairs add.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/mmx/kernels.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class MmxFirFilter final : public Filter {
  public:
    // Entries past the doubled history that a window can reach; they stay zero.
    static constexpr int32_t kZeroTail = 14;

    explicit MmxFirFilter(const FirParams& params, const MmxKernels& kernels = mmxKernels());
    ~MmxFirFilter() override;
    MmxFirFilter(const MmxFirFilter&) = delete;
    MmxFirFilter& operator=(const MmxFirFilter&) = delete;

    bool allocated() const;

    int32_t isQuiet() override;
    void reset() override;
    void process(ChannelBuffer* buffer, int32_t count) override;

    // For tests.
    const FirLayout& layout() const { return layout_; }
    int32_t position() const { return position_; }

  private:
    const MmxKernels* kernels_;
    FirLayout layout_;
    int16_t* phaseCoefficients_[4];
    int32_t position_ = 0;
    int16_t* history_;  // 2N entries, then the zero tail
    int32_t quiet_ = 1;
};

}  // namespace ve32
