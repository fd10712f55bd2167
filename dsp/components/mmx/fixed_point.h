#pragma once
// Conversions of the packed back-end's fixed-point formats.
//
// Gains and FIR coefficients are Q15 (value / 32768), cascade coefficients Q13 (value / 8192) and
// Q14 (value / 16384). Every conversion scales, truncates toward zero and then keeps the result in
// a 16-bit lane. The formats cannot hold every value a caller may pass; rather than letting a value
// wrap into the opposite sign (a louder setting coming out quieter or inverted), the wide forms
// below keep the full integer and the callers either use a wider path for it or limit it.

#include <cstdint>

namespace ve32 {

// Gain or gain step of a mixing pass: trunc(g * 32767), low 16 bits. Exact for |g| <= 1.0
// (1.0 -> 32767, 0.5 -> 16383, -1.0 -> -32767); wraps beyond, as the packed registers would.
int16_t q15Gain(float gain);

// The same scaling without the 16-bit wrap: trunc(g * 32767) limited to +-2^40 (NaN gives 0).
// Mixing uses it to recognise gains that 16 bits cannot hold.
int64_t q15GainWide(float gain);

// Coefficient conversions: trunc(v * scale + 0.5) in double precision. For negative v this is not
// round-to-nearest (-100.7 scaled becomes -100). The results are limited to [-2^30, 2^30] (NaN
// gives 0) so that callers can range-check them without overflow.
int32_t q15Coefficient(double value);  // scale 32767 (FIR coefficients, tap gains)
int32_t q13Coefficient(double value);  // scale 8192
int32_t q14Coefficient(double value);  // scale 16384

// A converted value kept in a 16-bit lane: values beyond the lane are limited to +-32767 instead
// of wrapping around. -32768 is avoided too: in a packed multiply-add two such values would
// overflow the 32-bit pair sum.
int16_t limitToLane(int64_t value);

// Saturation of a 32-bit value to the 16-bit sample range.
inline int16_t saturate16(int32_t value) {
    return static_cast<int16_t>(value > 32767 ? 32767 : (value < -32768 ? -32768 : value));
}

}  // namespace ve32
