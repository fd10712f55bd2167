#include "dsp/design/filter_design.h"

#include <cmath>

#include "dsp/design/coefficient_tables.h"

namespace ve32 {
namespace {

template <class Entry>
const Entry* findEntry(const Entry (&table)[kSupportedRateCount], int32_t sampleRate) {
    for (const Entry& entry : table) {
        if (entry.sampleRate == sampleRate) return &entry;
    }
    return nullptr;
}

}  // namespace

bool isSupportedSampleRate(int32_t sampleRate) {
    for (int32_t rate : kSupportedSampleRates) {
        if (rate == sampleRate) return true;
    }
    return false;
}

Filter* findPoleShaping(const Backend* backend, int32_t sampleRate, float gainFactor,
                        int32_t* directDelay) {
    const PoleTableEntry* entry = findEntry(kPoleTable, sampleRate);
    if (entry == nullptr) return nullptr;
    *directDelay = entry->directDelay;
    const PoleParams params{entry->sampleRate, entry->gain * gainFactor, entry->pairCount,
                            entry->pairs};
    return backend->createPoleCascade(&params);
}

Filter* findPoleZeroShaping(const Backend* backend, int32_t sampleRate, float gainFactor,
                            int32_t* directDelay) {
    const PoleZeroTableEntry* entry = findEntry(kPoleZeroTable, sampleRate);
    if (entry == nullptr) return nullptr;
    *directDelay = entry->directDelay;
    const PoleZeroParams params{entry->gain * gainFactor, entry->sectionCount, entry->coefficients};
    return backend->createPoleZeroCascade(&params);
}

Filter* findFirFilter(const Backend* backend, int32_t sampleRate, int32_t* latency) {
    const FirTableEntry* entry = findEntry(kFirTable, sampleRate);
    if (entry == nullptr) return nullptr;
    *latency = (entry->filter.tapCount - 1) / 2;
    return backend->createFirFilter(&entry->filter);
}

PoleZeroParams highPassParams(int32_t sampleRate, int32_t frequency, float section[4]) {
    constexpr double twoPi = 6.283185307179586;
    const double w = (static_cast<double>(frequency) / static_cast<double>(sampleRate)) * twoPi;
    const double h = 0.5 * w;
    const double k = std::tan(h) / h;  // prewarping: the analogue corner lands on `frequency`
    const double b = w / (0.7071067811865476 * k);
    const double a = 1.0 / (k * k);
    const double w2 = w * w;
    const double den = 2.0 * (b + 2.0 * a) + w2;
    section[0] = static_cast<float>(2.0 * (w2 - 4.0 * a) / den);
    section[1] = static_cast<float>((w2 + 2.0 * (2.0 * a - b)) / den);
    section[2] = -2.0f;  // numerator (1 - z^-1)^2: a double zero at 0 Hz
    section[3] = 1.0f;
    const float gain = static_cast<float>(4.0 * a / den);
    return PoleZeroParams{gain, 1, section};
}

Filter* designHighPass(const Backend* backend, int32_t sampleRate, int32_t frequency) {
    float section[4];
    const PoleZeroParams params = highPassParams(sampleRate, frequency, section);
    return backend->createPoleZeroCascade(&params);
}

}  // namespace ve32
