#pragma once
// The settings of the stereo expander that need an engine of their own: changing the shaping
// table or the back-end means opening another engine, and a new input delay means new delay lines.

#include <cstdint>

namespace ve::lv2 {

struct ExpanderConfig {
    int32_t shaping = 0;  // 0 pole-pair table, 1 second-order-section table
    int32_t backend = 0;  // 0 automatic, 1 floating point, 2 packed 16-bit
    int32_t delayLeft = 0;
    int32_t delayRight = 0;

    bool operator==(const ExpanderConfig&) const = default;
};

// Open flags for veOpen.
unsigned int openFlags(const ExpanderConfig& config);

// Samples by which the expander delays its direct path (the plugin's latency) at sampleRate with
// the given shaping table; the second-order-section table adds none.
int32_t directPathDelay(int32_t sampleRate, int32_t shaping);

// Opens an engine for the configuration with default gains. Returns a VE32_* result and the
// handle (null on failure). Allocates: never call it on the audio thread.
int openExpanderEngine(int32_t sampleRate, const ExpanderConfig& config, void** handleOut);

}  // namespace ve::lv2
