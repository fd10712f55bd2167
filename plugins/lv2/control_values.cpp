#include "plugins/lv2/control_values.h"

#include <algorithm>
#include <cmath>

namespace ve::lv2 {

float readControl(const float* port, ControlRange range) {
    if (port == nullptr || std::isnan(*port)) return range.fallback;
    return std::clamp(*port, range.minimum, range.maximum);
}

int32_t readIntegerControl(const float* port, ControlRange range) {
    return static_cast<int32_t>(std::lrint(readControl(port, range)));
}

}  // namespace ve::lv2
