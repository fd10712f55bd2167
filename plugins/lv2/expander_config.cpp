#include "plugins/lv2/expander_config.h"

#include "ve32.h"

namespace ve::lv2 {

unsigned int openFlags(const ExpanderConfig& config) {
    unsigned int flags = static_cast<unsigned int>(config.backend) & VE32_BACKEND_MASK;
    if (config.shaping != 0) flags |= VE32_FLAG_SECTION_SHAPING;
    return flags;
}

int32_t directPathDelay(int32_t sampleRate, int32_t shaping) {
    if (shaping != 0) return 0;
    switch (sampleRate) {
        case 16000:
        case 22050:
        case 24000:
            return 1;
        case 32000:
            return 4;
        case 44100:
            return 5;
        case 48000:
            return 6;
        default:  // 8000, 11025, 12000
            return 0;
    }
}

int openExpanderEngine(int32_t sampleRate, const ExpanderConfig& config, void** handleOut) {
    const int result = veOpen(handleOut, sampleRate, openFlags(config));
    if (result == VE32_OK && (config.delayLeft != 0 || config.delayRight != 0)) {
        veSetInputDelay(*handleOut, config.delayLeft, config.delayRight);
    }
    return result;
}

}  // namespace ve::lv2
