#pragma once
// The abstract engines behind the two handle families. The exported functions forward each call
// to one of these operations; the handle is a pointer to the interface.

#include <cstdint>

namespace ve32 {

class StereoExpanderBase {
  public:
    virtual ~StereoExpanderBase() = default;
    virtual void processPlanar8(const uint8_t* inLeft, const uint8_t* inRight, uint8_t* outLeft,
                                uint8_t* outRight, uint32_t frames) = 0;
    virtual void processPlanar16(const int16_t* inLeft, const int16_t* inRight, int16_t* outLeft,
                                 int16_t* outRight, uint32_t frames) = 0;
    virtual void process8(const uint8_t* in, uint8_t* out, uint32_t frames) = 0;
    virtual void process16(const int16_t* in, int16_t* out, uint32_t frames) = 0;
    virtual void setSpread(float decibels) = 0;
    virtual void setCenter(float decibels) = 0;
    virtual void setInputScale(float leftDecibels, float rightDecibels) = 0;
    virtual void setInputDelay(int32_t leftSamples, int32_t rightSamples) = 0;
    virtual void setEnabled(int32_t enabled) = 0;
    virtual void reset() = 0;
};

class MonoToStereoBase {
  public:
    virtual ~MonoToStereoBase() = default;
    virtual void process8(const uint8_t* in, uint8_t* out, uint32_t frames) = 0;
    virtual void process16(const int16_t* in, int16_t* out, uint32_t frames) = 0;
    virtual void setSpread(float decibels) = 0;
    virtual void setCenter(float decibels) = 0;
    virtual void setEnabled(int32_t enabled) = 0;
    virtual void reset() = 0;
};

}  // namespace ve32
