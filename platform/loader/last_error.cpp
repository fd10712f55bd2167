// The per-thread last error code that the loading functions report through.
#include "platform/loader/dynamic_library.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

extern "C" DWORD WINAPI GetLastError() {
    return lastError;
}

extern "C" void WINAPI SetLastError(DWORD errorCode) {
    lastError = errorCode;
}
