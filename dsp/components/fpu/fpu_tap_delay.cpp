#include "dsp/components/fpu/fpu_tap_delay.h"

#include <algorithm>
#include <cstddef>

#include "dsp/components/allocation.h"
#include "dsp/components/fpu/fpu_array_routines.h"
#include "dsp/components/fpu/fpu_block_entry.h"
#include "dsp/components/fpu/fpu_channel_buffer.h"

namespace ve32 {

namespace {

// One segment of a tap: the first tap into an empty output stores, every other one adds.
inline void applyTap(bool add, const float* src, float* dst, float gain, int32_t n) {
    if (add) {
        mixScaled(src, dst, gain, n);
    } else {
        storeScaled(src, dst, gain, n);
    }
}

}  // namespace

FpuTapDelay::FpuTapDelay(const TapDelayParams& params)
    : tapCount(params.tapCount),
      taps(allocateArray<DelayTap>(static_cast<std::size_t>(params.tapCount))) {
    if (taps == nullptr) {
        return;
    }
    for (int32_t i = 0; i < tapCount; ++i) {
        taps[i].delay = std::max(params.taps[i].delay, 0);
        taps[i].gain = params.taps[i].gain;
        length = std::max(length, taps[i].delay);
    }
    history = allocateArray<float>(static_cast<std::size_t>(length));
    if (history != nullptr) {
        reset();
    }
}

FpuTapDelay::~FpuTapDelay() {
    delete[] history;
    delete[] taps;
}

int32_t FpuTapDelay::isQuiet() {
    if (quiet == 0) {
        quiet = isSilentState(sumMagnitudes(history, length));
    }
    return quiet;
}

void FpuTapDelay::reset() {
    std::fill(history, history + length, 0.0f);
    writePosition = 0;
    quiet = 1;
}

void FpuTapDelay::process(ChannelBuffer* inBuffer, ChannelBuffer* outBuffer, int32_t count) {
    FpuChannelBuffer& in = *static_cast<FpuChannelBuffer*>(inBuffer);
    FpuChannelBuffer& out = *static_cast<FpuChannelBuffer*>(outBuffer);
    if (!enterBlock(*this, in, count)) {
        return;
    }
    count = std::max(count, 0);
    const float* input = in.storage;
    const int32_t span = length;
    const int32_t start = writePosition;

    if (tapCount > 0) {
        bool add = true;
        if (out.written == count) {
            add = true;
        } else if (out.written == 0) {
            std::fill(out.storage + count, out.storage + count + out.delay, 0.0f);
            out.written = count;
            add = false;
        } else {
            out.zeroFillTo(count);
        }
        float* dst = out.storage;
        // The history is read for every tap before it is updated, so a tap with delay d <= count
        // takes its last count - d outputs straight from the input block.
        for (int32_t i = 0; i < tapCount; ++i) {
            const int32_t delay = taps[i].delay;
            const float gain = taps[i].gain;
            const int32_t fromHistory = std::min(delay, count);
            int32_t oldest = start - delay;
            if (oldest < 0) {
                oldest += span;
            }
            const int32_t untilWrap = span - oldest;
            if (fromHistory > untilWrap) {
                applyTap(add, history + oldest, dst, gain, untilWrap);
                applyTap(add, history, dst + untilWrap, gain, fromHistory - untilWrap);
            } else {
                applyTap(add, history + oldest, dst, gain, fromHistory);
            }
            if (fromHistory < count) {
                applyTap(add, input, dst + fromHistory, gain, count - fromHistory);
            }
            add = true;
        }
    }

    if (count >= span) {
        std::copy(input + count - span, input + count, history);
        writePosition = 0;
    } else {
        const int32_t space = span - start;
        if (count <= space) {
            std::copy(input, input + count, history + start);
            writePosition = (count == space) ? 0 : start + count;
        } else {
            std::copy(input, input + space, history + start);
            std::copy(input + space, input + count, history);
            writePosition = start + count - span;
        }
    }
    quiet = 0;
}

}  // namespace ve32
