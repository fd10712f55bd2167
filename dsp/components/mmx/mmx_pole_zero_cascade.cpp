#include "dsp/components/mmx/mmx_pole_zero_cascade.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/components/allocation.h"
#include "dsp/components/mmx/fixed_point.h"
#include "dsp/components/mmx/mmx_channel_buffer.h"
#include "dsp/components/mmx/scalar_arithmetic.h"

namespace ve32 {

namespace {

// Q13 values are kept as 32-bit integers. A value beyond the 16-bit range (the second-order
// sections at 44100 and 48000 Hz need about -4.24 for the second output's xb term) then stays what
// it is instead of wrapping to about +3.76, and the section still follows its equation; values in
// range are unchanged. Beyond +-8.0 a value is limited there, which keeps every product inside
// 32 bits.
int32_t sectionValue(double value) {
    return std::clamp(q13Coefficient(value), int32_t{-65535}, int32_t{65535});
}

// Extended precision: coefficients limited to the same +-8.0.
constexpr double kExtendedLimit = 65535.0 / 8192.0;

int64_t q28(double value) {
    return std::llrint(std::clamp(value, -kExtendedLimit, kExtendedLimit) * 268435456.0);
}

}  // namespace

// Q13 arithmetic keeps 13 fraction bits; its shifts truncate downwards, half a step on average,
// and every coefficient is rounded by up to half a step. A recursion that amplifies the lowest
// (or highest) frequencies by G turns that bias into an offset of about G/2 steps and the rounding
// into a visibly different response: the 75 Hz high-pass, with G from 300 at 8000 Hz to over
// 10000 at 48000 Hz, passes DC with a gain of about -2 at 44100 Hz and turns a +-3 step noise into
// swings of thousands of steps. Above G = 128 a section therefore runs in extended precision. The
// shaping sections of the tables stay well below (G is at most about 66) and keep the Q13 steps.
bool MmxPoleZeroCascade::needsExtendedPrecision(double a1, double a2) {
    constexpr double limit = 1.0 / 128.0;
    return std::fabs(1.0 + a1 + a2) < limit || std::fabs(1.0 - a1 + a2) < limit;
}

MmxPoleZeroCascade::MmxPoleZeroCascade(const PoleZeroParams& params, const MmxKernels& kernels)
    : kernels_(&kernels),
      sectionCount_(std::max(params.sectionCount, 0)),
      state_(allocateArray<int16_t>(4 * static_cast<std::size_t>(sectionCount_))),
      stepCoefficients_(allocateArray<int32_t>(5 * static_cast<std::size_t>(sectionCount_))),
      pairCoefficients_(allocateArray<int32_t>(12 * static_cast<std::size_t>(sectionCount_))),
      extended_(allocateArray<ExtendedSection>(static_cast<std::size_t>(sectionCount_))) {
    if (!allocated()) return;
    // Each section carries |gain|^(1/N); the first one also carries the sign.
    const double magnitude =
        sectionCount_ > 0
            ? std::pow(std::fabs(static_cast<double>(params.gain)), 1.0 / sectionCount_)
            : 0.0;
    for (int32_t i = 0; i < sectionCount_; ++i) {
        const double g = (i == 0 && params.gain < 0.0f) ? -magnitude : magnitude;
        const double a1 = params.coefficients[4 * i];
        const double a2 = params.coefficients[4 * i + 1];
        const double b1 = params.coefficients[4 * i + 2];
        const double b2 = params.coefficients[4 * i + 3];
        int32_t* step = stepCoefficients_ + 5 * i;
        step[0] = sectionValue(g);
        step[1] = sectionValue(a1);
        step[2] = sectionValue(a2);
        step[3] = sectionValue(b1 * g);
        step[4] = sectionValue(b2 * g);
        // y(n) = g (x(n) + b1 x(n-1) + b2 x(n-2)) - a1 y(n-1) - a2 y(n-2), and y(n+1) with y(n)
        // substituted, so both depend on x(n), x(n+1), xa = x(n-2), xb = x(n-1), ya, yb only.
        const double pair[12] = {
            g,   0.0,     (b1 - a1) * g, g, b2 * g, b1 * g, -(a1 * b2 * g), (b2 - a1 * b1) * g, -a2,
            -a1, a1 * a2, a1 * a1 - a2,
        };
        for (int k = 0; k < 12; ++k) pairCoefficients_[12 * i + k] = sectionValue(pair[k]);

        ExtendedSection& extended = extended_[i];
        extended = ExtendedSection{};
        extended.enabled = needsExtendedPrecision(a1, a2);
        for (int k = 0; k < 8; ++k) extended.pair.input[k] = static_cast<int32_t>(q28(pair[k]));
        extended.stepInput[0] = q28(g);
        extended.stepInput[1] = q28(b1 * g);
        extended.stepInput[2] = q28(b2 * g);
        for (int k = 0; k < 4; ++k) extended.pair.back[k] = q28(pair[8 + k]);
        extended.stepBack[0] = q28(-a1);
        extended.stepBack[1] = q28(-a2);
    }
    reset();
}

MmxPoleZeroCascade::~MmxPoleZeroCascade() {
    delete[] state_;
    delete[] stepCoefficients_;
    delete[] pairCoefficients_;
    delete[] extended_;
}

int32_t MmxPoleZeroCascade::isQuiet() {
    return silentRun_ >= kSilentRunLimit ? 1 : 0;
}

void MmxPoleZeroCascade::reset() {
    std::memset(state_, 0, 4 * static_cast<std::size_t>(sectionCount_) * sizeof(int16_t));
    for (int32_t i = 0; i < sectionCount_; ++i) {
        extended_[i].history[0] = 0;
        extended_[i].history[1] = 0;
    }
    silentRun_ = kSilentRunLimit;
}

void MmxPoleZeroCascade::process(ChannelBuffer* buffer, int32_t count) {
    if (count < 0) return;
    auto* channel = static_cast<MmxChannelBuffer*>(buffer);
    const int32_t unwritten = count - channel->written_;
    if (unwritten <= 0) {
        silentRun_ = 0;
    } else if (channel->written_ != 0) {
        silentRun_ = unwritten;  // the silent tail of a block that carried signal
        channel->zeroFillTo(count);
    } else {
        if (isQuiet() != 0) return;
        silentRun_ += count;
        // The block that completes the silent run starts from a cleared history.
        if (isQuiet() != 0) reset();
        channel->zeroFillTo(count);
    }
    int16_t* samples = channel->storage_;
    const int32_t pairs = count / 2;
    if (pairs > 0) {
        for (int32_t i = 0; i < sectionCount_; ++i) {
            if (extended_[i].enabled) {
                ExtendedSection& section = extended_[i];
                kernels_->poleZeroPairsExtended(section.pair, state_ + 4 * i, section.history,
                                                samples, pairs);
                state_[4 * i + 2] = scalar::extendedOutput(section.history[0]);
                state_[4 * i + 3] = scalar::extendedOutput(section.history[1]);
            } else {
                kernels_->poleZeroPairs(pairCoefficients_ + 12 * i, state_ + 4 * i, samples, pairs);
            }
        }
    }
    if ((count & 1) != 0) {
        for (int32_t i = 0; i < sectionCount_; ++i) {
            if (extended_[i].enabled) {
                extendedSingle(extended_[i], state_ + 4 * i, samples + count - 1);
            } else {
                scalar::poleZeroSingle(stepCoefficients_ + 5 * i, state_ + 4 * i,
                                       samples + count - 1);
            }
        }
    }
}

// The single step of an extended section: the equation of a pair's first output with g, b1 g,
// b2 g (double) and -a1, -a2 (Q28), in the same arithmetic as the pair step.
void MmxPoleZeroCascade::extendedSingle(ExtendedSection& section, int16_t* state, int16_t* sample) {
    const int16_t x = *sample;
    const int64_t input = section.stepInput[0] * x + section.stepInput[1] * state[1] +
                          section.stepInput[2] * state[0];
    int64_t* history = section.history;
    const int64_t y =
        scalar::extendedStep(scalar::extendedInput(input),
                             section.stepBack[0] * history[1] + section.stepBack[1] * history[0]);
    const int16_t out = scalar::extendedOutput(y);
    *sample = out;
    state[0] = state[1];
    state[1] = x;
    state[2] = state[3];
    state[3] = out;
    history[0] = history[1];
    history[1] = y;
}

}  // namespace ve32
