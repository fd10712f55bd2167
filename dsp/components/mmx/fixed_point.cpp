#include "dsp/components/mmx/fixed_point.h"

#include <cmath>

namespace ve32 {

namespace {

// Truncation toward zero of a double, limited to [-limit, limit]; NaN becomes 0.
int64_t truncateLimited(double scaled, double limit) {
    if (std::isnan(scaled)) return 0;
    if (scaled > limit) scaled = limit;
    if (scaled < -limit) scaled = -limit;
    return static_cast<int64_t>(std::trunc(scaled));
}

int32_t coefficient(double value, double scale) {
    constexpr double limit = 1073741824.0;  // 2^30
    return static_cast<int32_t>(truncateLimited(value * scale + 0.5, limit));
}

}  // namespace

int16_t q15Gain(float gain) {
    // The low 16 bits of the truncated product, read as a signed value.
    const int64_t wide = truncateLimited(static_cast<double>(gain) * 32767.0, 1099511627776.0);
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(wide) & 0xFFFFu));
}

int64_t q15GainWide(float gain) {
    return truncateLimited(static_cast<double>(gain) * 32767.0, 1099511627776.0);  // 2^40
}

int32_t q15Coefficient(double value) {
    return coefficient(value, 32767.0);
}
int32_t q13Coefficient(double value) {
    return coefficient(value, 8192.0);
}
int32_t q14Coefficient(double value) {
    return coefficient(value, 16384.0);
}

int16_t limitToLane(int64_t value) {
    if (value > 32767) return 32767;
    if (value < -32767) return -32767;
    return static_cast<int16_t>(value);
}

}  // namespace ve32
