#include "platform/seh/exception_codes.h"

#include "platform/seh/structured_exceptions.h"

namespace platform::seh {

DWORD exceptionCodeFor(int signal, const siginfo_t& info) {
    switch (signal) {
        case SIGSEGV:
            return EXCEPTION_ACCESS_VIOLATION;
        case SIGBUS:
            return info.si_code == BUS_ADRALN ? EXCEPTION_DATATYPE_MISALIGNMENT
                                              : EXCEPTION_IN_PAGE_ERROR;
        case SIGILL:
            return info.si_code == ILL_PRVOPC || info.si_code == ILL_PRVREG
                       ? EXCEPTION_PRIV_INSTRUCTION
                       : EXCEPTION_ILLEGAL_INSTRUCTION;
        case SIGFPE:
            switch (info.si_code) {
                case FPE_INTDIV:
                    return EXCEPTION_INT_DIVIDE_BY_ZERO;
                case FPE_INTOVF:
                    return EXCEPTION_INT_OVERFLOW;
                case FPE_FLTDIV:
                    return EXCEPTION_FLT_DIVIDE_BY_ZERO;
                case FPE_FLTOVF:
                    return EXCEPTION_FLT_OVERFLOW;
                case FPE_FLTUND:
                    return EXCEPTION_FLT_UNDERFLOW;
                case FPE_FLTRES:
                    return EXCEPTION_FLT_INEXACT_RESULT;
                case FPE_FLTSUB:
                    return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
                default:
                    return EXCEPTION_FLT_INVALID_OPERATION;
            }
        default:
            return EXCEPTION_ACCESS_VIOLATION;
    }
}

}  // namespace platform::seh
