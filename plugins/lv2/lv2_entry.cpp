// The bundle's only exported symbol: hosts enumerate the plugins through it.

#include <lv2/core/lv2.h>

#include "plugins/lv2/mono_to_stereo_plugin.h"
#include "plugins/lv2/stereo_expander_plugin.h"

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    switch (index) {
        case 0:
            return ve::lv2::stereoExpanderDescriptor();
        case 1:
            return ve::lv2::monoToStereoDescriptor();
        default:
            return nullptr;
    }
}
