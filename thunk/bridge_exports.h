#pragma once
// The functions VE32THK exports: the ve32 functions that the 16-bit caller may reach, with ve32's
// names and argument lists and the bridge's own results.
//
// Results of the process functions (and of open when the library lacks the function):
//   VE32THK_OK             the call completed;
//   VE32THK_NOT_CALLED     the library lacks the function, or the handle is null;
//   VE32THK_EXCEPTION      the call raised a fault (C++ exception, access fault, floating-point
//                          trap) and was abandoned; the engine is in whatever state the fault left.
// Setters, enable, reset and close do nothing for a null handle or a function the library lacks.

#include <stdint.h>

#define VE32THK_API extern "C" __attribute__((visibility("default")))

#define VE32THK_OK 0
#define VE32THK_NOT_CALLED 1
#define VE32THK_EXCEPTION 4

VE32THK_API int veOpen(void** handleOut, int sampleRate, unsigned int flags);
VE32THK_API int veProcess16(void* handle, const int16_t* in, int16_t* out, unsigned int frames);
VE32THK_API int veProcess8(void* handle, const uint8_t* in, uint8_t* out, unsigned int frames);
VE32THK_API void veSetSpread(void* handle, float decibels);
VE32THK_API void veSetCenter(void* handle, float decibels);
VE32THK_API void veEnable(void* handle, int enable);
VE32THK_API void veReset(void* handle);
VE32THK_API void veClose(void* handle);

VE32THK_API int m2sOpen(void** handleOut, int sampleRate, unsigned int flags);
VE32THK_API int m2sProcess16(void* handle, const int16_t* in, int16_t* out, unsigned int frames);
VE32THK_API int m2sProcess8(void* handle, const uint8_t* in, uint8_t* out, unsigned int frames);
VE32THK_API void m2sEnable(void* handle, int enable);
VE32THK_API void m2sReset(void* handle);
VE32THK_API void m2sClose(void* handle);
