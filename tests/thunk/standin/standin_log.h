#pragma once
// What the stand-in ve32 records of each call it receives, and how a test steers it. The test
// reaches these items through the loader (GetProcAddress on the stand-in module).

#include "platform/win32_types.h"

struct StandinCall {
    const char* function;
    void* handle;
    const void* in;
    void* out;
    unsigned int frames;
    int enable;
    float decibels;
    int sampleRate;
    unsigned int flags;
    void** handleOut;
    DWORD win16Locks;       // Win16 lock holds of the calling thread during the call
    DWORD watchedFixes[2];  // fixes held on the two watched selectors during the call
};

constexpr int standinLogCapacity = 64;

struct StandinLog {
    StandinCall calls[standinLogCapacity];
    int count;
};

// How the next process calls end.
enum StandinFault {
    standinNoFault,
    standinThrows,              // a C++ exception
    standinAccessFault,         // a write to a protected page
    standinFloatingPointTrap,   // a division by zero with the trap unmasked
    standinDirtyFpuThenThrows,  // rounding upward, x87 registers in packed use, then a C++
                                // exception
};

struct StandinControl {
    int fault;       // a StandinFault
    int openResult;  // what open answers (writing null unless 0)
    WORD watchedSelectors[2];
};
