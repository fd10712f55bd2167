#pragma once
// The stereo expander: each output channel is its own input, delayed, plus a difference signal —
// the opposite channel high-passed at 75 Hz, minus the channel's own input weighted by the center
// gain, both scaled by the spread and shaped by a per-rate resonator filter.
//
//   y_L[t] = direct_L x_L[t - dL - Dd] + SH_L( own_L x_L[t - dL] + HP_L( cross_R x_R[t - dR] ) )
//
// and the mirror image for y_R. The difference signal runs through the filters at a quarter of its
// level (cross and own gains carry 0.25 and -0.25) and the shaping filter's gain of 4 restores it.

#include <cstdint>

#include "dsp/components/backend.h"
#include "dsp/engines/engine_interfaces.h"
#include "dsp/mixing/gain_ramp.h"

namespace ve32 {

class StereoExpander final : public StereoExpanderBase {
  public:
    using Base = StereoExpanderBase;

    // Input delays beyond this many samples (about six minutes at 48 kHz) are refused like a
    // failed allocation: the previous delays stay in effect.
    static constexpr int32_t kMaxInputDelay = 1 << 24;

    StereoExpander() = default;
    ~StereoExpander() override;
    StereoExpander(const StereoExpander&) = delete;
    StereoExpander& operator=(const StereoExpander&) = delete;

    // 0 on success, 1 for a rate without a shaping-table entry, 2 when memory ran out. Flags bit 31
    // selects the second-order-section shaping table.
    int32_t open(const Backend* backend, int32_t sampleRate, uint32_t flags);

    void processPlanar8(const uint8_t* inLeft, const uint8_t* inRight, uint8_t* outLeft,
                        uint8_t* outRight, uint32_t frames) override;
    void processPlanar16(const int16_t* inLeft, const int16_t* inRight, int16_t* outLeft,
                         int16_t* outRight, uint32_t frames) override;
    void process8(const uint8_t* in, uint8_t* out, uint32_t frames) override;
    void process16(const int16_t* in, int16_t* out, uint32_t frames) override;
    void setSpread(float decibels) override;
    void setCenter(float decibels) override;
    void setInputScale(float leftDecibels, float rightDecibels) override;
    void setInputDelay(int32_t leftSamples, int32_t rightSamples) override;
    void setEnabled(int32_t enabled) override;
    void reset() override;

    int32_t directDelay() const { return directDelay_; }

  private:
    template <class Format>
    typename Format::Sample* history(int ch);
    template <class Format>
    void processInterleaved(const typename Format::Sample* in, typename Format::Sample* out,
                            uint32_t frames);
    template <class Format>
    void processPlanar(const typename Format::Sample* inLeft,
                       const typename Format::Sample* inRight, typename Format::Sample* outLeft,
                       typename Format::Sample* outRight, uint32_t frames);
    template <class Format>
    void mixBlock(int32_t n);
    template <class Format>
    void endBlock(int32_t n);
    void updateGains();
    bool hasHistory() const;

    int32_t enabled_ = 1;
    ChannelBuffer* channelBuffers_[2] = {nullptr, nullptr};
    Filter* highPass_[2] = {nullptr, nullptr};
    Filter* shaping_[2] = {nullptr, nullptr};
    GainRamp crossGain_[2];
    GainRamp ownGain_[2];
    GainRamp directGain_[2];
    int16_t* history16_[2] = {nullptr, nullptr};
    uint8_t* history8_[2] = {nullptr, nullptr};
    float spread_ = 1.0f;
    float center_ = 1.0f;
    float inputGain_[2] = {1.0f, 1.0f};
    int32_t inputDelay_[2] = {0, 0};
    int32_t directDelay_ = 0;
};

}  // namespace ve32
