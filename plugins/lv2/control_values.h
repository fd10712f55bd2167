#pragma once
// Control ports carry whatever float the host stores there. Each value is brought into the range
// the .ttl declares before it reaches an engine; a missing port or NaN gives the default.

#include <cstdint>

namespace ve::lv2 {

struct ControlRange {
    float minimum;
    float maximum;
    float fallback;  // the port's default
};

float readControl(const float* port, ControlRange range);
// For integer, toggle and enumeration ports: the value rounded to the nearest integer.
int32_t readIntegerControl(const float* port, ControlRange range);

}  // namespace ve::lv2
