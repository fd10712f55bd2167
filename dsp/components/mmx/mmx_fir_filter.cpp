#include "dsp/components/mmx/mmx_fir_filter.h"

#include <algorithm>
#include <cstring>

#include "dsp/components/allocation.h"
#include "dsp/components/mmx/fixed_point.h"
#include "dsp/components/mmx/mmx_channel_buffer.h"

namespace ve32 {

namespace {

constexpr int32_t kQuietThreshold = 10;

int32_t phaseLength(int32_t taps, int32_t shift) {
    return (taps + shift + 15) & ~15;
}

}  // namespace

// A record without taps would leave nothing to convolve with; it becomes one zero tap, whose
// output is silence.
MmxFirFilter::MmxFirFilter(const FirParams& params, const MmxKernels& kernels)
    : kernels_(&kernels), layout_{}, phaseCoefficients_{}, history_(nullptr) {
    const int32_t taps = std::max(params.tapCount, 1);
    layout_.tapCount = taps;
    for (int32_t r = 0; r < 4; ++r) {
        layout_.phaseLengths[r] = phaseLength(taps, r);
        phaseCoefficients_[r] =
            allocateArray<int16_t>(static_cast<std::size_t>(layout_.phaseLengths[r]));
        layout_.phaseCoefficients[r] = phaseCoefficients_[r];
    }
    history_ = allocateArray<int16_t>(2 * static_cast<std::size_t>(taps) + kZeroTail);
    if (!allocated()) return;
    for (int32_t r = 0; r < 4; ++r) {
        int16_t* copy = phaseCoefficients_[r];
        std::fill(copy, copy + layout_.phaseLengths[r], int16_t{0});
        for (int32_t k = 0; k < params.tapCount; ++k) {
            // Coefficients beyond +-1.0 are limited to the lane instead of wrapping; the tables
            // stay within +-0.56.
            copy[r + k] = limitToLane(q15Coefficient(params.coefficients[k]));
        }
    }
    std::fill(history_ + 2 * taps, history_ + 2 * taps + kZeroTail, int16_t{0});
    reset();
}

MmxFirFilter::~MmxFirFilter() {
    delete[] history_;
    for (int16_t* copy : phaseCoefficients_) delete[] copy;
}

bool MmxFirFilter::allocated() const {
    for (const int16_t* copy : phaseCoefficients_) {
        if (copy == nullptr) return false;
    }
    return history_ != nullptr;
}

int32_t MmxFirFilter::isQuiet() {
    if (quiet_ != 0) return 1;
    quiet_ = kernels_->sumMagnitudes16(history_, layout_.tapCount) <= kQuietThreshold ? 1 : 0;
    return quiet_;
}

void MmxFirFilter::reset() {
    position_ = layout_.tapCount - 1;
    std::memset(history_, 0, 2 * static_cast<std::size_t>(layout_.tapCount) * sizeof(int16_t));
    quiet_ = 1;
}

void MmxFirFilter::process(ChannelBuffer* buffer, int32_t count) {
    if (count < 0) return;
    auto* channel = static_cast<MmxChannelBuffer*>(buffer);
    if (count > channel->written_) {
        if (channel->written_ == 0 && isQuiet() != 0) return;
        channel->zeroFillTo(count);
    }
    position_ = kernels_->firBlock(layout_, history_, position_, channel->storage_, count);
    quiet_ = 0;
}

}  // namespace ve32
