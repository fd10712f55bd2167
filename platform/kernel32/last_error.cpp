#include "platform/kernel32/winbase.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

extern "C" DWORD WINAPI GetLastError() {
    return lastError;
}

extern "C" void WINAPI SetLastError(DWORD errorCode) {
    lastError = errorCode;
}
