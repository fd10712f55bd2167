#pragma once
// The mono-to-stereo engine as an LV2 plugin.

#include <lv2/core/lv2.h>

namespace ve::lv2 {

const LV2_Descriptor* monoToStereoDescriptor();

}  // namespace ve::lv2
