#include "dsp/design/pole_coefficients.h"

#include <cmath>

namespace ve32 {

void poleCoefficients(const PolePair& pair, int32_t sampleRate, float* c1, float* c2) {
    constexpr double twoPi = 6.283185307179586;
    const double angle = (static_cast<double>(pair.frequency) / sampleRate) * twoPi;
    const double radius = pair.radius;
    *c1 = static_cast<float>(std::cos(angle) * radius * -2.0);
    *c2 = static_cast<float>(radius * radius);
}

}  // namespace ve32
