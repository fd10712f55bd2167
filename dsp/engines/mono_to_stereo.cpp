#include "dsp/engines/mono_to_stereo.h"

#include <algorithm>

#include "dsp/design/decibels.h"
#include "dsp/design/filter_design.h"
#include "dsp/engines/sample_formats.h"
#include "ve32.h"

namespace ve32 {
namespace {

constexpr float kWetDecibels = -2.5f;
constexpr float kDryDecibels = -2.0f;

}  // namespace

MonoToStereo::~MonoToStereo() {
    delete fir_;
    delete wetBuffer_;
    delete dryBuffer_;
}

int32_t MonoToStereo::open(const Backend* backend, int32_t sampleRate, uint32_t /*flags*/) {
    fir_ = findFirFilter(backend, sampleRate, &latency_);
    if (fir_ == nullptr) {
        return isSupportedSampleRate(sampleRate) ? VE32_OUT_OF_MEMORY : VE32_UNSUPPORTED_RATE;
    }
    wetBuffer_ = backend->createChannelBuffer(kBlockFrames);
    dryBuffer_ = backend->createChannelBuffer(latency_ + kBlockFrames);
    if (wetBuffer_ == nullptr || dryBuffer_ == nullptr) return VE32_OUT_OF_MEMORY;
    wetGain_.setTarget(decibelsToGain(kWetDecibels), 0);
    dryGain_.setTarget(decibelsToGain(kDryDecibels), 0);
    dryBuffer_->setDelay(latency_);
    return VE32_OK;
}

template <class Format>
void MonoToStereo::processMono(const typename Format::Sample* in, typename Format::Sample* out,
                               uint32_t frames) {
    if (enabled_ == 0) {
        for (uint32_t i = 0; i < frames; ++i) {
            out[2 * i] = in[i];
            out[2 * i + 1] = in[i];
        }
        return;
    }
    while (frames > 0) {
        const uint32_t n = std::min(frames, kBlockFrames);
        Format::mixInto(dryGain_, in, dryBuffer_, int32_t(n));
        Format::mixInto(wetGain_, in, wetBuffer_, int32_t(n));
        fir_->process(wetBuffer_, int32_t(n));
        // Left from the filter, right from the dry buffer, which hands out its input delayed by
        // the filter's latency.
        Format::writeStereo(wetBuffer_, dryBuffer_, out, int32_t(n));
        dryBuffer_->advance(int32_t(n));
        wetBuffer_->advance(int32_t(n));
        in += n;
        out += 2 * n;
        frames -= n;
    }
}

void MonoToStereo::process16(const int16_t* in, int16_t* out, uint32_t frames) {
    processMono<Pcm16>(in, out, frames);
}
void MonoToStereo::process8(const uint8_t* in, uint8_t* out, uint32_t frames) {
    processMono<Pcm8>(in, out, frames);
}

void MonoToStereo::setSpread(float) {}
void MonoToStereo::setCenter(float) {}

void MonoToStereo::setEnabled(int32_t enabled) {
    enabled_ = enabled;
}

void MonoToStereo::reset() {
    fir_->reset();
    dryBuffer_->clearHistory();
    wetBuffer_->clearHistory();
}

}  // namespace ve32
