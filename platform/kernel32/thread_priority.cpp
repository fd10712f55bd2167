#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/kernel32/process_object.h"
#include "platform/kernel32/winbase.h"

namespace {

bool isPriorityLevel(int priority) {
    return priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL ||
           (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST);
}

bool resolveThread(HANDLE thread, pid_t& tid) {
    if (thread == GetCurrentThread()) {
        tid = ::gettid();
        return true;
    }
    auto object = ve::kernel::findHandleOf<ve::kernel::ThreadObject>(thread);
    if (!object) return false;
    tid = object->tid;
    return true;
}

}  // namespace

extern "C" BOOL WINAPI SetThreadPriority(HANDLE thread, int priority) {
    pid_t tid;
    if (!resolveThread(thread, tid)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!isPriorityLevel(priority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Idle and time-critical are the ends of the host's range; the others are steps from nice 0.
    int nice = priority == THREAD_PRIORITY_IDLE            ? 19
               : priority == THREAD_PRIORITY_TIME_CRITICAL ? -20
                                                           : -priority;
    if (::setpriority(PRIO_PROCESS, id_t(tid), nice) != 0) {
        SetLastError(errno == ESRCH ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

extern "C" int WINAPI GetThreadPriority(HANDLE thread) {
    pid_t tid;
    if (!resolveThread(thread, tid)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, id_t(tid));
    if (nice == -1 && errno != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    if (nice >= 19) return THREAD_PRIORITY_IDLE;
    if (nice <= -20) return THREAD_PRIORITY_TIME_CRITICAL;
    return std::clamp(-nice, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_HIGHEST);
}
