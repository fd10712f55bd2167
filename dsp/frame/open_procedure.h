#pragma once
// The open and close procedures that both export families share.

#include <cstdint>
#include <new>

#include "dsp/frame/backend_selection.h"
#include "ve32.h"

namespace ve32 {

// Engine must name its abstract interface as Engine::Base, have a no-argument constructor and
// int32_t open(const Backend*, int32_t sampleRate, uint32_t flags). The handle is the interface
// pointer, which is what the close procedure deletes.
template <class Engine>
int openEngine(void** handleOut, int sampleRate, unsigned int flags) {
    const int code = selectBackendCode(flags);
    Engine* engine = new (std::nothrow) Engine();
    if (engine == nullptr) {
        *handleOut = nullptr;
        return VE32_OUT_OF_MEMORY;
    }
    const int32_t result = engine->open(backendFor(code), sampleRate, flags);
    if (result != VE32_OK) {
        delete engine;  // releases whatever open had built
        *handleOut = nullptr;
        return result;
    }
    *handleOut = static_cast<typename Engine::Base*>(engine);
    return VE32_OK;
}

template <class EngineBase>
void closeEngine(void* handle) {
    delete static_cast<EngineBase*>(handle);  // deleting null is a no-op
}

}  // namespace ve32
