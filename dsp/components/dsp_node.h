#pragma once
// Interfaces of the signal components. Every component caches whether its internal state is
// silent, so that blocks of silence reaching a silent component cost nothing.

#include <cstdint>

namespace ve32 {

class ChannelBuffer;

class DspNode {
  public:
    virtual ~DspNode() = default;
    // 1 when the internal state is near silence (cached until the next process that runs).
    virtual int32_t isQuiet() = 0;
    // Clears all internal state and marks the component quiet.
    virtual void reset() = 0;
};

class Filter : public DspNode {
  public:
    // Filters storage[0 .. count) of the buffer in place. A buffer with nothing written that
    // reaches a quiet filter is left untouched.
    virtual void process(ChannelBuffer* buffer, int32_t count) = 0;
    // Moves the filter's gain into the buffer's input scaling, and back. Most filters have
    // nothing to move.
    virtual void foldGain(ChannelBuffer*) {}
    virtual void unfoldGain(ChannelBuffer*) {}
};

class TapDelay : public DspNode {
  public:
    // Adds each tap (input delayed and scaled) into `out` over count samples, then pushes the
    // input block into the delay line.
    virtual void process(ChannelBuffer* in, ChannelBuffer* out, int32_t count) = 0;
};

}  // namespace ve32
