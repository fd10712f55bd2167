#pragma once
// Input delay for hosts without a worker. The library's own input delay reallocates its delay
// lines whenever the delay changes, which run() must never do; these lines are sized once for the
// largest delay the plugin accepts. Delaying a channel before the engine is the same, sample for
// sample, as the engine delaying it: every path of the engine reads that channel delayed.

#include <cstdint>
#include <memory>

namespace ve::lv2 {

class InputDelayLines {
  public:
    // Sizes both lines for delays up to maxDelay samples. Returns false when memory ran out.
    bool allocate(int32_t maxDelay);
    // Delays in samples, 0 to the maximum given to allocate.
    void setDelays(int32_t left, int32_t right);
    // Silences both lines, as a freshly opened engine's delay lines are. Callers clear the lines
    // whenever the delays change.
    void clear();
    // Delays interleaved stereo samples in place.
    void process(int16_t* interleaved, uint32_t frames);

  private:
    std::unique_ptr<int16_t[]> lines_[2];
    uint32_t mask_ = 0;  // line length - 1; the length is a power of two
    uint32_t writeIndex_ = 0;
    uint32_t delays_[2] = {0, 0};
};

}  // namespace ve::lv2
