#include "dsp/components/mmx/mmx_tap_delay.h"

#include <algorithm>
#include <cstring>

#include "dsp/components/allocation.h"
#include "dsp/components/mmx/fixed_point.h"
#include "dsp/components/mmx/mmx_channel_buffer.h"

namespace ve32 {

namespace {

constexpr int16_t kQuietThreshold = 10;

void copySamples(const int16_t* src, int16_t* dst, int32_t n) {
    if (n > 0) std::memcpy(dst, src, static_cast<std::size_t>(n) * sizeof(int16_t));
}

}  // namespace

// Negative delays would reach into samples not yet seen; they count as 0. Gains keep their full
// Q15 value: those beyond +-1.0 go through the wide passes instead of wrapping around.
MmxTapDelay::MmxTapDelay(const TapDelayParams& params, const MmxKernels& kernels)
    : kernels_(&kernels),
      tapCount_(std::max(params.tapCount, 0)),
      taps_(allocateArray<Tap>(static_cast<std::size_t>(tapCount_))) {
    if (taps_ == nullptr) return;
    for (int32_t i = 0; i < tapCount_; ++i) {
        taps_[i].delay = std::max(params.taps[i].delay, 0);
        taps_[i].gain = q15Coefficient(params.taps[i].gain);
        length_ = std::max(length_, taps_[i].delay);
    }
    history_ = allocateArray<int16_t>(static_cast<std::size_t>(length_));
    if (history_ != nullptr) reset();
}

MmxTapDelay::~MmxTapDelay() {
    delete[] history_;
    delete[] taps_;
}

int32_t MmxTapDelay::isQuiet() {
    if (quiet_ != 0) return 1;
    quiet_ = kernels_->findLoud16(history_, kQuietThreshold, length_) == -1 ? 1 : 0;
    return quiet_;
}

void MmxTapDelay::reset() {
    std::memset(history_, 0, static_cast<std::size_t>(length_) * sizeof(int16_t));
    writePosition_ = 0;
    quiet_ = 1;
}

void MmxTapDelay::apply(bool add, const int16_t* src, int32_t gain, int16_t* dst, int32_t n) const {
    if (add) {
        mixScaled16(*kernels_, src, gain, dst, n);
    } else {
        storeScaled16(*kernels_, src, gain, dst, n);
    }
}

void MmxTapDelay::process(ChannelBuffer* inBuffer, ChannelBuffer* outBuffer, int32_t count) {
    if (count < 0) return;
    auto* in = static_cast<MmxChannelBuffer*>(inBuffer);
    auto* out = static_cast<MmxChannelBuffer*>(outBuffer);
    if (count > in->written_) {
        if (in->written_ == 0 && isQuiet() != 0) return;
        in->zeroFillTo(count);
    }

    bool add = true;
    if (out->written_ == 0 && count != 0) {
        std::memset(out->storage_ + count, 0,
                    static_cast<std::size_t>(std::max(out->delay_, 0)) * sizeof(int16_t));
        out->written_ = count;
        add = false;
    } else if (out->written_ != count) {
        out->zeroFillTo(count);
    }
    const int16_t* input = in->storage_;
    int16_t* output = out->storage_;
    if (!add && tapCount_ == 0) {
        // No tap to store the first output: the block is silence.
        std::memset(output, 0, static_cast<std::size_t>(count) * sizeof(int16_t));
    }

    // Every tap reads the history before the history takes this block.
    const int32_t length = length_;
    const int32_t position = writePosition_;
    for (int32_t i = 0; i < tapCount_; ++i) {
        const int32_t delay = taps_[i].delay;
        const int32_t gain = taps_[i].gain;
        const int32_t fromHistory = std::min(delay, count);
        int32_t start = position - delay;
        if (start < 0) start += length;
        if (fromHistory > length - start) {
            const int32_t first = length - start;
            apply(add, history_ + start, gain, output, first);
            apply(add, history_, gain, output + first, fromHistory - first);
        } else {
            apply(add, history_ + start, gain, output, fromHistory);
        }
        if (fromHistory < count) apply(add, input, gain, output + fromHistory, count - fromHistory);
        add = true;
    }

    if (count >= length) {
        copySamples(input + count - length, history_, length);
        writePosition_ = 0;
    } else {
        const int32_t space = length - position;
        if (count <= space) {
            copySamples(input, history_ + position, count);
            writePosition_ = count == space ? 0 : position + count;
        } else {
            copySamples(input, history_ + position, space);
            copySamples(input + space, history_, count - space);
            writePosition_ = position + count - length;
        }
    }
    quiet_ = 0;
}

}  // namespace ve32
