#include "dsp/design/decibels.h"

#include <cmath>

namespace ve32 {

float decibelsToGain(float decibels) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(decibels) * 0.05f));
}

}  // namespace ve32
