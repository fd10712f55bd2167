#include <chrono>
#include <thread>

#include "platform/kernel32/winbase.h"

extern "C" void WINAPI Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

extern "C" DWORD WINAPI GetTickCount() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
