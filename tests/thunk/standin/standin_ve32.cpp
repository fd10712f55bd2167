// A stand-in for ve32 with the same exports, built by the tests: it logs every call, transforms
// the samples in a simple known way, and raises a fault inside processing when told to. Built
// twice: complete, and (STANDIN_PARTIAL) lacking some of the names the bridge resolves.
#include <sys/mman.h>

#include <cfenv>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "platform/thunk/selectors.h"
#include "platform/thunk/thunk_services.h"
#include "standin_log.h"

#define STANDIN_API extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) StandinLog standinLog = {};
__attribute__((visibility("default"))) StandinControl standinControl = {};
// The engines behind the handles that open hands out.
__attribute__((visibility("default"))) int standinVeEngine = 0;
__attribute__((visibility("default"))) int standinM2sEngine = 0;
}

namespace {

StandinCall& log(const char* function, void* handle) {
    StandinCall& call = standinLog.calls[standinLog.count % standinLogCapacity];
    ++standinLog.count;
    call = StandinCall{};
    call.function = function;
    call.handle = handle;
    call.win16Locks = Win16LockCount();
    for (int i = 0; i < 2; ++i)
        call.watchedFixes[i] = SelectorFixCount(standinControl.watchedSelectors[i]);
    return call;
}

void* protectedPage() {
    static void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return page;
}

void raiseFault() {
    switch (standinControl.fault) {
        case standinThrows:
            throw std::runtime_error("stand-in fault");
        case standinAccessFault:
            *static_cast<volatile int*>(protectedPage()) = 1;
            break;
        case standinFloatingPointTrap: {
            feenableexcept(FE_DIVBYZERO);
            volatile double zero = 0.0;
            volatile double quotient = 1.0 / zero;
            (void)quotient;
            break;
        }
        case standinDirtyFpuThenThrows:
            fesetround(FE_UPWARD);
            asm volatile("pxor %%mm0, %%mm0" ::
                             : "mm0");  // packed use of the x87 registers, no emms
            throw std::runtime_error("stand-in fault with the floating-point unit left dirty");
        default:
            break;
    }
}

[[maybe_unused]] int open(const char* function, void** handleOut, int sampleRate,
                          unsigned int flags, void* engine) {
    StandinCall& call = log(function, nullptr);
    call.handleOut = handleOut;
    call.sampleRate = sampleRate;
    call.flags = flags;
    *handleOut = standinControl.openResult == 0 ? engine : nullptr;
    return standinControl.openResult;
}

// Stereo: each sample's bits flipped by a mask, so the test can tell input from output.
template <typename Sample>
void stereo(const char* function, void* handle, const Sample* in, Sample* out, unsigned int frames,
            Sample mask) {
    StandinCall& call = log(function, handle);
    call.in = in;
    call.out = out;
    call.frames = frames;
    raiseFault();
    for (unsigned int i = 0; i < 2 * frames; ++i) out[i] = static_cast<Sample>(in[i] ^ mask);
}

// Mono to stereo: the sample on the left, its complement on the right.
template <typename Sample>
void monoToStereo(const char* function, void* handle, const Sample* in, Sample* out,
                  unsigned int frames) {
    StandinCall& call = log(function, handle);
    call.in = in;
    call.out = out;
    call.frames = frames;
    raiseFault();
    for (unsigned int i = 0; i < frames; ++i) {
        out[2 * i] = in[i];
        out[2 * i + 1] = static_cast<Sample>(~in[i]);
    }
}

void gain(const char* function, void* handle, float decibels) {
    log(function, handle).decibels = decibels;
}

void enable(const char* function, void* handle, int value) {
    log(function, handle).enable = value;
}

}  // namespace

#ifndef STANDIN_PARTIAL
STANDIN_API int veOpen(void** handleOut, int sampleRate, unsigned int flags) {
    return open("veOpen", handleOut, sampleRate, flags, &standinVeEngine);
}
#endif
STANDIN_API void veProcess16(void* handle, const int16_t* in, int16_t* out, unsigned int frames) {
    stereo<int16_t>("veProcess16", handle, in, out, frames, 0x5A5A);
}
#ifndef STANDIN_PARTIAL
STANDIN_API void veProcess8(void* handle, const uint8_t* in, uint8_t* out, unsigned int frames) {
    stereo<uint8_t>("veProcess8", handle, in, out, frames, 0xA5);
}
#endif
STANDIN_API void veSetSpread(void* handle, float decibels) {
    gain("veSetSpread", handle, decibels);
}
#ifndef STANDIN_PARTIAL
STANDIN_API void veSetCenter(void* handle, float decibels) {
    gain("veSetCenter", handle, decibels);
}
#endif
STANDIN_API void veSetInputScale(void* handle, float left, float) {
    gain("veSetInputScale", handle, left);
}
STANDIN_API void veSetInputDelay(void* handle, int left, int) {
    enable("veSetInputDelay", handle, left);
}
STANDIN_API void veEnable(void* handle, int value) {
    enable("veEnable", handle, value);
}
#ifndef STANDIN_PARTIAL
STANDIN_API void veReset(void* handle) {
    log("veReset", handle);
}
#endif
STANDIN_API void veClose(void* handle) {
    log("veClose", handle);
}

#ifndef STANDIN_PARTIAL
STANDIN_API int m2sOpen(void** handleOut, int sampleRate, unsigned int flags) {
    return open("m2sOpen", handleOut, sampleRate, flags, &standinM2sEngine);
}
STANDIN_API void m2sProcess16(void* handle, const int16_t* in, int16_t* out, unsigned int frames) {
    monoToStereo<int16_t>("m2sProcess16", handle, in, out, frames);
}
#endif
STANDIN_API void m2sProcess8(void* handle, const uint8_t* in, uint8_t* out, unsigned int frames) {
    monoToStereo<uint8_t>("m2sProcess8", handle, in, out, frames);
}
STANDIN_API void m2sSetSpread(void* handle, float decibels) {
    gain("m2sSetSpread", handle, decibels);
}
STANDIN_API void m2sSetCenter(void* handle, float decibels) {
    gain("m2sSetCenter", handle, decibels);
}
#ifndef STANDIN_PARTIAL
STANDIN_API void m2sEnable(void* handle, int value) {
    enable("m2sEnable", handle, value);
}
#endif
STANDIN_API void m2sReset(void* handle) {
    log("m2sReset", handle);
}
STANDIN_API void m2sClose(void* handle) {
    log("m2sClose", handle);
}
