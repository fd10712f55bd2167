#include "dsp/engines/stereo_expander.h"

#include <algorithm>
#include <new>

#include "dsp/design/decibels.h"
#include "dsp/design/filter_design.h"
#include "dsp/engines/sample_formats.h"
#include "ve32.h"

namespace ve32 {
namespace {

constexpr int32_t kHighPassFrequency = 75;
constexpr float kShapingGainFactor = 4.0f;

}  // namespace

StereoExpander::~StereoExpander() {
    for (int ch = 0; ch < 2; ++ch) {
        delete channelBuffers_[ch];
        delete highPass_[ch];
        delete shaping_[ch];
        delete[] history16_[ch];
        delete[] history8_[ch];
    }
}

int32_t StereoExpander::open(const Backend* backend, int32_t sampleRate, uint32_t flags) {
    for (int ch = 0; ch < 2; ++ch) {
        channelBuffers_[ch] = backend->createChannelBuffer(kBlockFrames);
        highPass_[ch] = designHighPass(backend, sampleRate, kHighPassFrequency);
        shaping_[ch] =
            (flags & VE32_FLAG_SECTION_SHAPING) != 0
                ? findPoleZeroShaping(backend, sampleRate, kShapingGainFactor, &directDelay_)
                : findPoleShaping(backend, sampleRate, kShapingGainFactor, &directDelay_);
        if (shaping_[ch] == nullptr) {
            return isSupportedSampleRate(sampleRate) ? VE32_OUT_OF_MEMORY : VE32_UNSUPPORTED_RATE;
        }
        if (channelBuffers_[ch] == nullptr || highPass_[ch] == nullptr) return VE32_OUT_OF_MEMORY;
    }
    setSpread(0.0f);
    setCenter(0.0f);
    setInputScale(0.0f, 0.0f);
    setInputDelay(0, 0);
    if (!hasHistory()) return VE32_OUT_OF_MEMORY;
    reset();
    return VE32_OK;
}

bool StereoExpander::hasHistory() const {
    return history16_[0] != nullptr && history16_[1] != nullptr && history8_[0] != nullptr &&
           history8_[1] != nullptr;
}

void StereoExpander::setSpread(float decibels) {
    spread_ = decibelsToGain(decibels);
    updateGains();
}

void StereoExpander::setCenter(float decibels) {
    center_ = decibelsToGain(decibels);
    updateGains();
}

void StereoExpander::setInputScale(float leftDecibels, float rightDecibels) {
    inputGain_[0] = decibelsToGain(leftDecibels);
    inputGain_[1] = decibelsToGain(rightDecibels);
    updateGains();
}

void StereoExpander::updateGains() {
    for (int ch = 0; ch < 2; ++ch) {
        const double input = inputGain_[ch];
        crossGain_[ch].setTarget(static_cast<float>(input * spread_ * 0.25f), 0);
        ownGain_[ch].setTarget(static_cast<float>(input * spread_ * center_ * -0.25f), 0);
        directGain_[ch].setTarget(inputGain_[ch], 0);
    }
}

void StereoExpander::setInputDelay(int32_t leftSamples, int32_t rightSamples) {
    // A negative delay would read before the start of the history lines: it counts as none.
    const int32_t delays[2] = {std::max(leftSamples, 0), std::max(rightSamples, 0)};
    if (delays[0] > kMaxInputDelay || delays[1] > kMaxInputDelay) return;

    // Obtain all four new lines before giving up the old ones, so that a failure keeps the
    // engine working with its previous delays.
    int16_t* lines16[2] = {nullptr, nullptr};
    uint8_t* lines8[2] = {nullptr, nullptr};
    bool complete = true;
    for (int ch = 0; ch < 2; ++ch) {
        const std::size_t length = std::size_t(directDelay_) + delays[ch] + kBlockFrames;
        lines16[ch] = new (std::nothrow) int16_t[length];
        lines8[ch] = new (std::nothrow) uint8_t[length];
        complete = complete && lines16[ch] != nullptr && lines8[ch] != nullptr;
    }
    if (!complete) {
        for (int ch = 0; ch < 2; ++ch) {
            delete[] lines16[ch];
            delete[] lines8[ch];
        }
        return;
    }
    for (int ch = 0; ch < 2; ++ch) {
        delete[] history16_[ch];
        delete[] history8_[ch];
        history16_[ch] = lines16[ch];
        history8_[ch] = lines8[ch];
        inputDelay_[ch] = delays[ch];
        const uint32_t past = uint32_t(directDelay_ + delays[ch]);
        clearSamples16(history16_[ch], past);
        fillSilence8(history8_[ch], past);
    }
    // The filters keep ringing across the change; only the delay lines start silent.
}

void StereoExpander::setEnabled(int32_t enabled) {
    if (enabled_ != 0 && enabled == 0) reset();
    enabled_ = enabled;
}

void StereoExpander::reset() {
    for (int ch = 0; ch < 2; ++ch) {
        const uint32_t past = uint32_t(directDelay_ + inputDelay_[ch]);
        clearSamples16(history16_[ch], past);
        fillSilence8(history8_[ch], past);
        channelBuffers_[ch]->clearHistory();
        highPass_[ch]->reset();
        shaping_[ch]->reset();
    }
}

template <>
int16_t* StereoExpander::history<Pcm16>(int ch) {
    return history16_[ch];
}
template <>
uint8_t* StereoExpander::history<Pcm8>(int ch) {
    return history8_[ch];
}

// One block of n samples, already in the history lines at directDelay + inputDelay: reading at
// directDelay gives the input delayed by inputDelay, reading at 0 adds the direct-path delay.
template <class Format>
void StereoExpander::mixBlock(int32_t n) {
    const typename Format::Sample* delayed[2] = {history<Format>(0) + directDelay_,
                                                 history<Format>(1) + directDelay_};
    Format::mixInto(crossGain_[1], delayed[1], channelBuffers_[0], n);
    Format::mixInto(crossGain_[0], delayed[0], channelBuffers_[1], n);
    highPass_[0]->process(channelBuffers_[0], n);
    highPass_[1]->process(channelBuffers_[1], n);
    Format::mixInto(ownGain_[0], delayed[0], channelBuffers_[0], n);
    Format::mixInto(ownGain_[1], delayed[1], channelBuffers_[1], n);
    shaping_[0]->process(channelBuffers_[0], n);
    shaping_[1]->process(channelBuffers_[1], n);
    Format::mixInto(directGain_[0], history<Format>(0), channelBuffers_[0], n);
    Format::mixInto(directGain_[1], history<Format>(1), channelBuffers_[1], n);
}

// Ends a block: the buffers start empty again and each history line keeps its last
// directDelay + inputDelay samples at the front for the next block.
template <class Format>
void StereoExpander::endBlock(int32_t n) {
    channelBuffers_[0]->advance(n);
    channelBuffers_[1]->advance(n);
    for (int ch = 0; ch < 2; ++ch) {
        typename Format::Sample* line = history<Format>(ch);
        const uint32_t length = uint32_t(directDelay_ + inputDelay_[ch]);
        if (uint32_t(n) >= length) {
            Format::copySamples(line + n, line, length);
        } else {
            Format::moveSamples(line + n, line, length);
        }
    }
}

template <class Format>
void StereoExpander::processInterleaved(const typename Format::Sample* in,
                                        typename Format::Sample* out, uint32_t frames) {
    if (enabled_ == 0) {
        Format::copyFrames(in, out, frames);
        return;
    }
    while (frames > 0) {
        const uint32_t n = std::min(frames, kBlockFrames);
        Format::splitStereo(in, history<Format>(0) + directDelay_ + inputDelay_[0],
                            history<Format>(1) + directDelay_ + inputDelay_[1], n);
        mixBlock<Format>(int32_t(n));
        Format::writeStereo(channelBuffers_[0], channelBuffers_[1], out, int32_t(n));
        endBlock<Format>(int32_t(n));
        in += 2 * n;
        out += 2 * n;
        frames -= n;
    }
}

template <class Format>
void StereoExpander::processPlanar(const typename Format::Sample* inLeft,
                                   const typename Format::Sample* inRight,
                                   typename Format::Sample* outLeft,
                                   typename Format::Sample* outRight, uint32_t frames) {
    if (enabled_ == 0) {
        Format::copySamples(inLeft, outLeft, frames);
        Format::copySamples(inRight, outRight, frames);
        return;
    }
    while (frames > 0) {
        const uint32_t n = std::min(frames, kBlockFrames);
        Format::copySamples(inLeft, history<Format>(0) + directDelay_ + inputDelay_[0], n);
        Format::copySamples(inRight, history<Format>(1) + directDelay_ + inputDelay_[1], n);
        mixBlock<Format>(int32_t(n));
        Format::writeMono(channelBuffers_[0], outLeft, int32_t(n));
        Format::writeMono(channelBuffers_[1], outRight, int32_t(n));
        endBlock<Format>(int32_t(n));
        inLeft += n;
        inRight += n;
        outLeft += n;
        outRight += n;
        frames -= n;
    }
}

void StereoExpander::process16(const int16_t* in, int16_t* out, uint32_t frames) {
    processInterleaved<Pcm16>(in, out, frames);
}
void StereoExpander::process8(const uint8_t* in, uint8_t* out, uint32_t frames) {
    processInterleaved<Pcm8>(in, out, frames);
}
void StereoExpander::processPlanar16(const int16_t* inLeft, const int16_t* inRight,
                                     int16_t* outLeft, int16_t* outRight, uint32_t frames) {
    processPlanar<Pcm16>(inLeft, inRight, outLeft, outRight, frames);
}
void StereoExpander::processPlanar8(const uint8_t* inLeft, const uint8_t* inRight, uint8_t* outLeft,
                                    uint8_t* outRight, uint32_t frames) {
    processPlanar<Pcm8>(inLeft, inRight, outLeft, outRight, frames);
}

}  // namespace ve32
