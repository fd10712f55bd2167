#pragma once
// The stereo expander as an LV2 plugin.

#include <lv2/core/lv2.h>

namespace ve::lv2 {

const LV2_Descriptor* stereoExpanderDescriptor();

}  // namespace ve::lv2
