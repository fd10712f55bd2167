#pragma once
// The bridge's module state: the loaded ve32 and the fourteen entry points resolved from it, in
// the order in which they are resolved and stored.

#include <stdint.h>

#include "platform/win32_types.h"

namespace ve32thk {

enum ForwardIndex {
    veOpenEntry,
    veProcess16Entry,
    veProcess8Entry,
    veSetSpreadEntry,
    veSetCenterEntry,
    veEnableEntry,
    veResetEntry,
    veCloseEntry,
    m2sOpenEntry,
    m2sProcess16Entry,
    m2sProcess8Entry,
    m2sEnableEntry,
    m2sResetEntry,
    m2sCloseEntry,
    forwardCount
};

// The export names, indexed by ForwardIndex.
extern const char* const forwardNames[forwardCount];

// The shapes of ve32's exports (checked against ve32.h where that header is included).
using OpenFn = int (*)(void** handleOut, int sampleRate, unsigned int flags);
using Process16Fn = void (*)(void* handle, const int16_t* in, int16_t* out, unsigned int frames);
using Process8Fn = void (*)(void* handle, const uint8_t* in, uint8_t* out, unsigned int frames);
using SetGainFn = void (*)(void* handle, float decibels);
using EnableFn = void (*)(void* handle, int enable);
using HandleFn = void (*)(void* handle);

// All zero when the bridge is loaded. Written only by the entry point, which the loader
// serialises.
struct ModuleState {
    HMODULE libraryHandle;
    int32_t attached;  // set at the first process attach, never cleared
    FARPROC forwardTable[forwardCount];
};

extern ModuleState moduleState;

template <typename Function>
Function forwardEntry(ForwardIndex index) {
    return reinterpret_cast<Function>(moduleState.forwardTable[index]);
}

}  // namespace ve32thk
