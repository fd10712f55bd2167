// The forwarding functions: each checks that ve32 has the function and that the handle is not
// null, then calls ve32. Process calls run inside a structured exception guard, so a fault in the
// DSP code costs the caller one block, not the process.
#include <cfenv>

#include "platform/seh/structured_exceptions.h"
#include "thunk/bridge_exports.h"
#include "thunk/forward_table.h"

namespace {

using namespace ve32thk;

// A fault can leave the floating-point unit anywhere: exceptions unmasked, another rounding mode,
// or registers still tagged in use by packed-integer code that never reached its emms. The
// caller's own floating-point code must find it as a fresh thread does.
void reinitialiseFloatingPoint() {
#if defined(__i386__) || defined(__x86_64__)
    asm volatile("fninit");
#endif
    std::fesetenv(FE_DFL_ENV);
}

enum class AfterFault { keepFloatingPointState, reinitialiseFloatingPoint };

template <typename Process, typename Sample>
int guardedProcess(ForwardIndex index, void* handle, const Sample* in, Sample* out,
                   unsigned int frames, AfterFault afterFault) {
    const auto process = forwardEntry<Process>(index);
    if (process == nullptr || handle == nullptr) return VE32THK_NOT_CALLED;
    DWORD exceptionCode = 0;
    if (sehTryExcept([&] { process(handle, in, out, frames); }, &exceptionCode)) return VE32THK_OK;
    if (afterFault == AfterFault::reinitialiseFloatingPoint) reinitialiseFloatingPoint();
    return VE32THK_EXCEPTION;
}

// A missing open reports the bridge's "not called" code and leaves *handleOut as the caller set
// it: answering 0 would tell the caller that an engine exists.
int forwardOpen(ForwardIndex index, void** handleOut, int sampleRate, unsigned int flags) {
    const auto open = forwardEntry<OpenFn>(index);
    if (open == nullptr) return VE32THK_NOT_CALLED;
    return open(handleOut, sampleRate, flags);
}

void forwardGain(ForwardIndex index, void* handle, float decibels) {
    const auto set = forwardEntry<SetGainFn>(index);
    if (set != nullptr && handle != nullptr) set(handle, decibels);
}

void forwardEnable(ForwardIndex index, void* handle, int enable) {
    const auto setEnabled = forwardEntry<EnableFn>(index);
    if (setEnabled != nullptr && handle != nullptr) setEnabled(handle, enable);
}

void forwardHandle(ForwardIndex index, void* handle) {
    const auto call = forwardEntry<HandleFn>(index);
    if (call != nullptr && handle != nullptr) call(handle);
}

}  // namespace

VE32THK_API int veOpen(void** handleOut, int sampleRate, unsigned int flags) {
    return forwardOpen(veOpenEntry, handleOut, sampleRate, flags);
}

VE32THK_API int veProcess16(void* handle, const int16_t* in, int16_t* out, unsigned int frames) {
    return guardedProcess<Process16Fn>(veProcess16Entry, handle, in, out, frames,
                                       AfterFault::reinitialiseFloatingPoint);
}

VE32THK_API int veProcess8(void* handle, const uint8_t* in, uint8_t* out, unsigned int frames) {
    return guardedProcess<Process8Fn>(veProcess8Entry, handle, in, out, frames,
                                      AfterFault::reinitialiseFloatingPoint);
}

VE32THK_API void veSetSpread(void* handle, float decibels) {
    forwardGain(veSetSpreadEntry, handle, decibels);
}

VE32THK_API void veSetCenter(void* handle, float decibels) {
    forwardGain(veSetCenterEntry, handle, decibels);
}

VE32THK_API void veEnable(void* handle, int enable) {
    forwardEnable(veEnableEntry, handle, enable);
}

VE32THK_API void veReset(void* handle) {
    forwardHandle(veResetEntry, handle);
}

VE32THK_API void veClose(void* handle) {
    forwardHandle(veCloseEntry, handle);
}

VE32THK_API int m2sOpen(void** handleOut, int sampleRate, unsigned int flags) {
    return forwardOpen(m2sOpenEntry, handleOut, sampleRate, flags);
}

VE32THK_API int m2sProcess16(void* handle, const int16_t* in, int16_t* out, unsigned int frames) {
    return guardedProcess<Process16Fn>(m2sProcess16Entry, handle, in, out, frames,
                                       AfterFault::keepFloatingPointState);
}

VE32THK_API int m2sProcess8(void* handle, const uint8_t* in, uint8_t* out, unsigned int frames) {
    return guardedProcess<Process8Fn>(m2sProcess8Entry, handle, in, out, frames,
                                      AfterFault::keepFloatingPointState);
}

VE32THK_API void m2sEnable(void* handle, int enable) {
    forwardEnable(m2sEnableEntry, handle, enable);
}

VE32THK_API void m2sReset(void* handle) {
    forwardHandle(m2sResetEntry, handle);
}

VE32THK_API void m2sClose(void* handle) {
    forwardHandle(m2sCloseEntry, handle);
}
