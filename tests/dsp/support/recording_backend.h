#pragma once
// Test doubles for the component interfaces: a Backend that records the records its factories are
// given (copying the arrays, as a real factory would), and a ChannelBuffer that records the mixes
// it receives.

#include <cstdint>
#include <vector>

#include "dsp/components/backend.h"

namespace ve32::testing {

class InertFilter : public Filter {
  public:
    int32_t isQuiet() override { return 1; }
    void reset() override {}
    void process(ChannelBuffer*, int32_t) override {}
};

struct RecordingBackend : Backend {
    struct PoleCall {
        int32_t sampleRate;
        float gain;
        std::vector<PolePair> pairs;
    };
    struct PoleZeroCall {
        float gain;
        int32_t sectionCount;
        std::vector<float> coefficients;
    };
    struct FirCall {
        std::vector<float> coefficients;
    };

    mutable std::vector<PoleCall> poleCalls;
    mutable std::vector<PoleZeroCall> poleZeroCalls;
    mutable std::vector<FirCall> firCalls;

    ChannelBuffer* createChannelBuffer(int32_t) const override { return nullptr; }
    TapDelay* createTapDelay(const TapDelayParams*) const override { return nullptr; }
    Filter* createFirFilter(const FirParams* p) const override {
        firCalls.push_back({{p->coefficients, p->coefficients + p->tapCount}});
        return new InertFilter;
    }
    Filter* createPoleZeroCascade(const PoleZeroParams* p) const override {
        poleZeroCalls.push_back(
            {p->gain, p->sectionCount, {p->coefficients, p->coefficients + 4 * p->sectionCount}});
        return new InertFilter;
    }
    Filter* createPoleCascade(const PoleParams* p) const override {
        poleCalls.push_back({p->sampleRate, p->gain, {p->pairs, p->pairs + p->pairCount}});
        return new InertFilter;
    }
};

class RecordingChannelBuffer : public ChannelBuffer {
  public:
    struct Mix {
        const void* src;
        float gain;
        float gainStep;
        int32_t count;
        int32_t offset;
    };
    std::vector<Mix> mixes;

    void setDelay(int32_t) override {}
    void mix16(const int16_t* src, float gain, float gainStep, int32_t count,
               int32_t offset) override {
        mixes.push_back({src, gain, gainStep, count, offset});
    }
    void mix8(const uint8_t* src, float gain, float gainStep, int32_t count,
              int32_t offset) override {
        mixes.push_back({src, gain, gainStep, count, offset});
    }
    void mixBuffer(ChannelBuffer*, int32_t) override {}
    void scale(float, int32_t) override {}
    void mixBufferScaled(ChannelBuffer*, float, int32_t) override {}
    void writeStereo16(ChannelBuffer*, int16_t*, int32_t) override {}
    void writeStereo8(ChannelBuffer*, uint8_t*, int32_t) override {}
    void writeMono16(int16_t*, int32_t) override {}
    void writeMono8(uint8_t*, int32_t) override {}
    void advance(int32_t) override {}
    int32_t isQuiet() override { return 1; }
    void clearHistory() override {}
};

}  // namespace ve32::testing
