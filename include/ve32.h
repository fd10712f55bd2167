/*
 * ve32 — real-time stereo enhancement.
 *
 * Two engines behind opaque handles:
 *   ve  — the stereo expander: widens a two-channel signal.
 *   m2s — mono to stereo: turns one channel into two.
 *
 * Units used throughout:
 *   - counts passed to the process functions are FRAMES (one sample per channel), never bytes;
 *   - gains are DECIBELS as 32-bit floats (linear = 10^(dB / 20)); no range is enforced;
 *   - delays are SAMPLES (signed 32-bit).
 * Sample formats: 16-bit signed PCM in native byte order, and 8-bit unsigned PCM in which 0x80 is
 * silence. Stereo data is interleaved, left sample first.
 *
 * Calling rules for one handle: open; then any sequence of process, set and reset calls; then close
 * exactly once. Calls on one handle must not overlap in time; different handles are independent and
 * may be used from different threads. Open leaves an engine enabled, with every parameter at its
 * default (0 dB, no delay) and silent signal state, so no setter is needed before the first process
 * call. Nothing but open reports an error: a null or stale handle, null buffers or buffers shorter
 * than the frame count are errors of the caller.
 */
#ifndef VE32_H
#define VE32_H

#include <stdint.h>

/* The library keeps the Win32 standard calling convention where the compiler has one (32-bit
 * Windows); elsewhere the platform's C convention applies. */
#if defined(_WIN32) && !defined(_WIN64)
#define VE32_CALL __stdcall
#else
#define VE32_CALL
#endif

#if defined(_WIN32)
#define VE32_API
#else
#define VE32_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Open flags. Bits 0-2 request an arithmetic back-end; bits 3-30 are not read. */
#define VE32_BACKEND_MASK 0x7u
#define VE32_BACKEND_AUTO 0x0u /* choose from the processor (also 3-7) */
#define VE32_BACKEND_FPU 0x1u  /* 32-bit floating point */
#define VE32_BACKEND_MMX 0x2u  /* packed 16-bit fixed point */
/* Stereo expander only: shape with the one-section pole-zero table instead of the pole-pair
 * table. The direct path is then not delayed. The mono-to-stereo engine ignores it. */
#define VE32_FLAG_SECTION_SHAPING 0x80000000u

/* Results of veOpen and m2sOpen. These values stay fixed for the life of major version 1. */
#define VE32_OK 0 /* *handleOut holds a new handle */
#define VE32_UNSUPPORTED_RATE                                       \
    1 /* not one of 8000, 11025, 12000, 16000, 22050, 24000, 32000, \
         44100, 48000 Hz (exact); *handleOut is null */
#define VE32_OUT_OF_MEMORY                                             \
    2 /* memory could not be obtained; nothing was kept; *handleOut is \
         null */

/* ---- Stereo expander ---------------------------------------------------------------------- */

/* Opens an expander for sampleRate (Hz) with the flags above. Returns a VE32_* result and writes
 * the handle (or null) to *handleOut, which must not be null. */
VE32_API int VE32_CALL veOpen(void** handleOut, int sampleRate, unsigned int flags);
/* Processes `frames` interleaved 16-bit stereo frames. `in` may equal `out`. */
VE32_API void VE32_CALL veProcess16(void* handle, const int16_t* in, int16_t* out,
                                    unsigned int frames);
/* Processes `frames` interleaved 8-bit unsigned stereo frames. `in` may equal `out`. */
VE32_API void VE32_CALL veProcess8(void* handle, const uint8_t* in, uint8_t* out,
                                   unsigned int frames);
/* Spread of the difference signal in dB (default 0; very negative values leave the input,
 * delayed by the direct-path delay). */
VE32_API void VE32_CALL veSetSpread(void* handle, float decibels);
/* Weight in dB of a channel's own signal subtracted in its difference path (default 0). */
VE32_API void VE32_CALL veSetCenter(void* handle, float decibels);
/* Per-channel input scale in dB (default 0, 0). */
VE32_API void VE32_CALL veSetInputScale(void* handle, float leftDecibels, float rightDecibels);
/* Per-channel input delay in samples (default 0, 0). Negative values count as 0. Allocates; call
 * it between process calls, not from a real-time thread. If memory cannot be obtained the
 * previous delays stay in effect. */
VE32_API void VE32_CALL veSetInputDelay(void* handle, int leftSamples, int rightSamples);
/* 0 bypasses (output = input, and the signal state is reset); non-zero processes. */
VE32_API void VE32_CALL veEnable(void* handle, int enable);
/* Returns the engine to silent signal state; parameters and the enabled state stay. */
VE32_API void VE32_CALL veReset(void* handle);
/* Destroys the engine; a null handle is ignored. */
VE32_API void VE32_CALL veClose(void* handle);

/* ---- Mono to stereo ----------------------------------------------------------------------- */

/* Opens a mono-to-stereo engine for sampleRate (Hz); flags bits 0-2 choose the back-end. Same
 * results as veOpen. The left output is the input through a 45-tap filter, the right output the
 * input delayed by that filter's latency of 22 samples. */
VE32_API int VE32_CALL m2sOpen(void** handleOut, int sampleRate, unsigned int flags);
/* Reads `frames` mono 16-bit samples, writes `frames` interleaved stereo frames. The buffers
 * must not overlap. */
VE32_API void VE32_CALL m2sProcess16(void* handle, const int16_t* in, int16_t* out,
                                     unsigned int frames);
/* The same for 8-bit unsigned samples. */
VE32_API void VE32_CALL m2sProcess8(void* handle, const uint8_t* in, uint8_t* out,
                                    unsigned int frames);
/* Accepted and ignored: this engine has no spread or center. */
VE32_API void VE32_CALL m2sSetSpread(void* handle, float decibels);
VE32_API void VE32_CALL m2sSetCenter(void* handle, float decibels);
/* 0 bypasses (each mono sample on both channels); non-zero processes. No reset on bypass. */
VE32_API void VE32_CALL m2sEnable(void* handle, int enable);
/* Returns the engine to silent signal state. */
VE32_API void VE32_CALL m2sReset(void* handle);
/* Destroys the engine; a null handle is ignored. */
VE32_API void VE32_CALL m2sClose(void* handle);

#ifdef __cplusplus
}
#endif

#endif /* VE32_H */
