#pragma once
// A Backend is a table of factories, one instance per arithmetic implementation. Engines ask it
// for their components and from then on talk to them only through the abstract interfaces, so one
// engine body serves every implementation. A component only works with channel buffers made by
// the same Backend. Every factory returns null when the component's memory cannot be obtained.

#include "dsp/components/channel_buffer.h"
#include "dsp/components/dsp_node.h"
#include "dsp/components/parameter_records.h"

namespace ve32 {

class Backend {
  public:
    virtual ChannelBuffer* createChannelBuffer(int32_t capacity) const = 0;
    virtual TapDelay* createTapDelay(const TapDelayParams* params) const = 0;
    virtual Filter* createFirFilter(const FirParams* params) const = 0;
    virtual Filter* createPoleZeroCascade(const PoleZeroParams* params) const = 0;
    virtual Filter* createPoleCascade(const PoleParams* params) const = 0;

  protected:
    // The instances live in static storage for the life of the library and are never destroyed
    // through this interface.
    ~Backend() = default;
};

// The two instances, constructed by the library's static initialisers.
const Backend& fpuBackend();
const Backend& mmxBackend();

}  // namespace ve32
