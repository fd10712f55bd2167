#include "dsp/components/mmx/mmx_pole_cascade.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/components/allocation.h"
#include "dsp/components/mmx/fixed_point.h"
#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "dsp/components/mmx/scalar_arithmetic.h"
#include "dsp/design/pole_coefficients.h"

namespace ve32 {

namespace {

constexpr int32_t kQuietThreshold = 10;

}  // namespace

MmxPoleCascade::MmxPoleCascade(const PoleParams& params, const MmxKernels& kernels)
    : kernels_(&kernels),
      sectionCount_(std::max(params.pairCount, 0)),
      stepCoefficients_(allocateArray<int16_t>(3 * static_cast<std::size_t>(sectionCount_))),
      pairCoefficients_(allocateArray<int16_t>(8 * static_cast<std::size_t>(sectionCount_))),
      state_(allocateArray<int16_t>(2 * static_cast<std::size_t>(sectionCount_))) {
    if (!allocated()) return;
    // Each section carries |gain|^(1/N) (as a float); the first one also carries the sign.
    const float magnitude =
        sectionCount_ > 0 ? static_cast<float>(std::pow(std::fabs(static_cast<double>(params.gain)),
                                                        1.0 / sectionCount_))
                          : 0.0f;
    for (int32_t i = 0; i < sectionCount_; ++i) {
        const float gain = (i == 0 && params.gain < 0.0f) ? -magnitude : magnitude;
        float c1f = 0.0f;
        float c2f = 0.0f;
        poleCoefficients(params.pairs[i], params.sampleRate, &c1f, &c2f);
        const double g = gain;
        const double c1 = c1f;
        const double c2 = c2f;
        // Values beyond a 16-bit lane are limited rather than wrapped; the tables stay inside.
        int16_t* step = stepCoefficients_ + 3 * i;
        step[0] = limitToLane(q14Coefficient(g));
        step[1] = limitToLane(q14Coefficient(c1));
        step[2] = limitToLane(q14Coefficient(c2));
        // y(n) = g x(n) - c1 y(n-1) - c2 y(n-2), and y(n+1) with y(n) substituted.
        const double pair[8] = {g, 0.0, -(c1 * g), g, -c2, -c1, c1 * c2, c1 * c1 - c2};
        for (int k = 0; k < 8; ++k) {
            pairCoefficients_[8 * i + k] = limitToLane(q13Coefficient(pair[k]));
        }
    }
    reset();
}

MmxPoleCascade::~MmxPoleCascade() {
    delete[] state_;
    delete[] stepCoefficients_;
    delete[] pairCoefficients_;
}

int32_t MmxPoleCascade::isQuiet() {
    if (quiet_ != 0) return 1;
    quiet_ = kernels_->sumMagnitudes16(state_, 2 * sectionCount_) <= kQuietThreshold ? 1 : 0;
    return quiet_;
}

void MmxPoleCascade::reset() {
    std::memset(state_, 0, 2 * static_cast<std::size_t>(sectionCount_) * sizeof(int16_t));
    quiet_ = 1;
}

void MmxPoleCascade::process(ChannelBuffer* buffer, int32_t count) {
    if (count < 0) return;
    auto* channel = static_cast<MmxChannelBuffer*>(buffer);
    if (count > channel->written_) {
        if (channel->written_ == 0 && isQuiet() != 0) return;
        channel->zeroFillTo(count);
    }
    int16_t* samples = channel->storage_;
    // Pair steps over whole groups of four samples, single steps over the last one to three.
    const int32_t paired = count & ~3;
    if (paired > 0) {
        kernels_->poleCascadePairs(pairCoefficients_, state_, sectionCount_, samples, paired / 2);
    }
    for (int32_t i = 0; i < sectionCount_; ++i) {
        for (int32_t position = paired; position < count; ++position) {
            scalar::poleSingle(stepCoefficients_ + 3 * i, state_ + 2 * i, samples + position);
        }
    }
    quiet_ = 0;
}

}  // namespace ve32
