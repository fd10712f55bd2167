#pragma once
// The constant per-rate tables that tune the engines.

#include <cstdint>

#include "dsp/components/parameter_records.h"

namespace ve32 {

constexpr int kSupportedRateCount = 9;
constexpr int32_t kSupportedSampleRates[kSupportedRateCount] = {8000,  11025, 12000, 16000, 22050,
                                                                24000, 32000, 44100, 48000};

// The first four fields have the layout of PoleParams.
struct PoleTableEntry {
    int32_t sampleRate;
    float gain;
    int32_t pairCount;
    const PolePair* pairs;
    int32_t directDelay;  // samples by which the expander delays its direct path with this entry
};

// The second to fourth fields have the layout of PoleZeroParams.
struct PoleZeroTableEntry {
    int32_t sampleRate;
    float gain;
    int32_t sectionCount;
    const float* coefficients;  // a1, a2, b1, b2 per section
    int32_t directDelay;
};

struct FirTableEntry {
    int32_t sampleRate;
    FirParams filter;
};

extern const PoleTableEntry kPoleTable[kSupportedRateCount];
extern const PoleZeroTableEntry kPoleZeroTable[kSupportedRateCount];
extern const FirTableEntry kFirTable[kSupportedRateCount];

}  // namespace ve32
