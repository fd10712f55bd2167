// The Win16 lock: one process-wide recursive lock that 16-bit code runs under. The prolog of a
// 16-to-32 call gives up all of the thread's holds and the epilog restores them.
#include "platform/thunk/win16_lock.h"

#include <mutex>
#include <vector>

#include "platform/thunk/thunk_services.h"

namespace {

std::recursive_mutex& win16Lock() {
    static std::recursive_mutex lock;
    return lock;
}

thread_local DWORD holds = 0;
thread_local std::vector<DWORD> releasedByProlog;

}  // namespace

namespace platform::thunk {

void enterWin16Lock() {
    win16Lock().lock();
    ++holds;
}

void leaveWin16Lock() {
    if (holds == 0) return;
    --holds;
    win16Lock().unlock();
}

}  // namespace platform::thunk

extern "C" void WINAPI K32Thk1632Prolog() {
    releasedByProlog.push_back(holds);
    while (holds > 0) platform::thunk::leaveWin16Lock();
}

extern "C" void WINAPI K32Thk1632Epilog() {
    if (releasedByProlog.empty()) return;
    const DWORD restore = releasedByProlog.back();
    releasedByProlog.pop_back();
    for (DWORD i = 0; i < restore; ++i) platform::thunk::enterWin16Lock();
}

extern "C" DWORD WINAPI Win16LockCount() {
    return holds;
}
