#pragma once
// Mono to stereo: the left output is the input through the rate's 45-tap filter, the right output
// the input delayed by that filter's latency, each with its own fixed gain.
//
//   left[t] = FIR(0.7498942 x)[t],   right[t] = 0.7943282 x[t - 22]
//
// The right channel's delay lives in a channel buffer used as a delay line.

#include <cstdint>

#include "dsp/components/backend.h"
#include "dsp/engines/engine_interfaces.h"
#include "dsp/mixing/gain_ramp.h"

namespace ve32 {

class MonoToStereo final : public MonoToStereoBase {
  public:
    using Base = MonoToStereoBase;

    MonoToStereo() = default;
    ~MonoToStereo() override;
    MonoToStereo(const MonoToStereo&) = delete;
    MonoToStereo& operator=(const MonoToStereo&) = delete;

    // 0 on success, 1 for a rate without a filter-table entry, 2 when memory ran out. The flags
    // are not used here (their low bits chose the back-end).
    int32_t open(const Backend* backend, int32_t sampleRate, uint32_t flags);

    void process8(const uint8_t* in, uint8_t* out, uint32_t frames) override;
    void process16(const int16_t* in, int16_t* out, uint32_t frames) override;
    // This engine has no spread or center: both setters accept their value and change nothing.
    void setSpread(float decibels) override;
    void setCenter(float decibels) override;
    void setEnabled(int32_t enabled) override;
    void reset() override;

    int32_t latency() const { return latency_; }

  private:
    template <class Format>
    void processMono(const typename Format::Sample* in, typename Format::Sample* out,
                     uint32_t frames);

    Filter* fir_ = nullptr;
    ChannelBuffer* dryBuffer_ = nullptr;
    ChannelBuffer* wetBuffer_ = nullptr;
    GainRamp dryGain_;
    GainRamp wetGain_;
    int32_t enabled_ = 1;
    int32_t latency_ = 0;
};

}  // namespace ve32
