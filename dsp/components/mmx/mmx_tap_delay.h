#pragma once
// The packed back-end's multi-tap delay line: an int16 circular history and Q15 tap gains, applied
// with the channel buffer's 16-bit scaling passes.

#include <cstdint>

#include "dsp/components/dsp_node.h"
#include "dsp/components/mmx/kernels.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class MmxChannelBuffer;

class MmxTapDelay final : public TapDelay {
  public:
    struct Tap {
        int32_t delay;  // samples, 0 or more
        int32_t gain;   // Q15; beyond 16 bits when |gain| > 1.0
    };

    explicit MmxTapDelay(const TapDelayParams& params, const MmxKernels& kernels = mmxKernels());
    ~MmxTapDelay() override;
    MmxTapDelay(const MmxTapDelay&) = delete;
    MmxTapDelay& operator=(const MmxTapDelay&) = delete;

    bool allocated() const { return taps_ != nullptr && history_ != nullptr; }

    int32_t isQuiet() override;
    void reset() override;
    void process(ChannelBuffer* in, ChannelBuffer* out, int32_t count) override;

    // For tests.
    int32_t length() const { return length_; }
    int32_t writePosition() const { return writePosition_; }
    const int16_t* history() const { return history_; }
    const Tap* taps() const { return taps_; }

  private:
    void apply(bool add, const int16_t* src, int32_t gain, int16_t* dst, int32_t n) const;

    const MmxKernels* kernels_;
    int32_t tapCount_;
    int32_t length_ = 0;
    Tap* taps_;
    int16_t* history_ = nullptr;
    int32_t writePosition_ = 0;
    int32_t quiet_ = 1;
};

}  // namespace ve32
