#pragma once
// An independent statement of the packed back-end's integer arithmetic for the tests: 64-bit
// products, explicit reduction to 32-bit two's complement where the packed instructions wrap,
// explicit floor divisions. It shares no code with the library.

#include <cstdint>
#include <vector>

namespace ve32::test {

// Two's-complement reduction of a 64-bit value to 32 and to 16 bits.
inline int64_t wrap32(int64_t v) {
    v &= 0xFFFFFFFFLL;
    return v >= 0x80000000LL ? v - 0x100000000LL : v;
}
inline int64_t wrap16(int64_t v) {
    v &= 0xFFFFLL;
    return v >= 0x8000LL ? v - 0x10000LL : v;
}
inline int64_t clamp16(int64_t v) {
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : v);
}
// Floor division by a power of two, stated as a division.
inline int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// A 16-bit mixing pass: groups of 16 at gLow (samples 0-7) and gHigh = sat(G + 8S) (samples
// 8-15), both advancing by 16S with saturation; then one at a time from gLow, advancing by S with
// 16-bit wrap.
inline void rampPass(const std::vector<int64_t>& x, int64_t gain, int64_t step,
                     std::vector<int64_t>& dst, bool add) {
    const int64_t n = static_cast<int64_t>(x.size());
    int64_t gLow = gain;
    int64_t gHigh = clamp16(gain + wrap16(8 * step));
    int64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        for (int64_t k = 0; k < 16; ++k) {
            const int64_t g = k < 8 ? gLow : gHigh;
            const int64_t y = wrap16(2 * floorDiv(x[i + k] * g, 65536));
            dst[i + k] = add ? clamp16(dst[i + k] + y) : y;
        }
        gLow = clamp16(gLow + wrap16(16 * step));
        gHigh = clamp16(gHigh + wrap16(16 * step));
    }
    int64_t g = gLow;
    for (; i < n; ++i) {
        const int64_t y = wrap16(floorDiv(x[i] * g, 32768));
        dst[i] = add ? clamp16(dst[i] + y) : y;
        g = wrap16(g + step);
    }
}

}  // namespace ve32::test
