#pragma once
// Structured exception handling: a guard that turns any fault raised inside a call into an
// exception code for the caller, as a __try/__except block with a filter that handles everything.
//
// Faults handled: a C++ exception leaving the call, an access fault (SIGSEGV, SIGBUS), a
// floating-point or integer arithmetic trap (SIGFPE) and an illegal instruction (SIGILL), each as
// raised by the processor in the guarded thread. A guard is per thread and guards may nest; the
// innermost guard of the faulting thread receives the fault.
//
// The layer's fault handlers are installed by the first guard and stay installed while the layer
// is loaded, so a guarded call costs no system call. A fault on a thread without an active guard,
// or a signal sent by kill or raise rather than raised by a fault, goes on to whatever handler was
// installed before (or to the default action); when the layer is unloaded, those previous
// handlers are put back. A program that installs a fault handler of its own afterwards must pass
// on the faults it does not claim to the handler it replaced, as chained handlers do, or guards
// stop catching faults. Each guarding thread gets an alternate signal stack if it has none, so a
// stack overflow is handled too.
//
// A fault abandons the guarded call where it stood: destructors of its frames do not run, and
// whatever it was changing is left as it was. The caller decides what to trust afterwards.

#include <type_traits>

#include "platform/win32_types.h"

#define EXCEPTION_DATATYPE_MISALIGNMENT 0x80000002u
#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u
#define EXCEPTION_IN_PAGE_ERROR 0xC0000006u
#define EXCEPTION_ILLEGAL_INSTRUCTION 0xC000001Du
#define EXCEPTION_ARRAY_BOUNDS_EXCEEDED 0xC000008Cu
#define EXCEPTION_FLT_DENORMAL_OPERAND 0xC000008Du
#define EXCEPTION_FLT_DIVIDE_BY_ZERO 0xC000008Eu
#define EXCEPTION_FLT_INEXACT_RESULT 0xC000008Fu
#define EXCEPTION_FLT_INVALID_OPERATION 0xC0000090u
#define EXCEPTION_FLT_OVERFLOW 0xC0000091u
#define EXCEPTION_FLT_STACK_CHECK 0xC0000092u
#define EXCEPTION_FLT_UNDERFLOW 0xC0000093u
#define EXCEPTION_INT_DIVIDE_BY_ZERO 0xC0000094u
#define EXCEPTION_INT_OVERFLOW 0xC0000095u
#define EXCEPTION_PRIV_INSTRUCTION 0xC0000096u
// The code a C++ throw carries when it meets a structured exception guard.
#define EXCEPTION_CPLUSPLUS 0xE06D7363u

#define VE_PLATFORM_SEH_API __attribute__((visibility("default")))

extern "C" {

// Calls body(context) inside a guard. Returns TRUE when body returned normally; FALSE when a fault
// ended it, with the exception code in *exceptionCode (when not null).
VE_PLATFORM_SEH_API BOOL WINAPI SehTryExcept(void (*body)(void* context), void* context,
                                             DWORD* exceptionCode);

}  // extern "C"

// The same for any callable.
template <typename Body>
BOOL sehTryExcept(Body&& body, DWORD* exceptionCode) {
    using Callable = std::remove_reference_t<Body>;
    return SehTryExcept([](void* context) { (*static_cast<Callable*>(context))(); },
                        const_cast<void*>(static_cast<const void*>(&body)), exceptionCode);
}
