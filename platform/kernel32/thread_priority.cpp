#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/kernel32/process_object.h"
#include "platform/kernel32/winbase.h"

namespace {

// The nice value this process started with: its own priority levels count from there.
const int processStartNice = ::getpriority(PRIO_PROCESS, 0);

bool isPriorityLevel(int priority) {
    return priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL ||
           (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST);
}

// Finds the host thread and the nice value its levels count from.
bool resolveThread(HANDLE thread, pid_t& tid, int& startNice) {
    if (thread == GetCurrentThread()) {
        tid = ::gettid();
        startNice = processStartNice;
        return true;
    }
    auto object = ve::kernel::findHandleOf<ve::kernel::ThreadObject>(thread);
    if (!object) return false;
    tid = object->tid;
    startNice = object->startNice;
    return true;
}

}  // namespace

extern "C" BOOL WINAPI SetThreadPriority(HANDLE thread, int priority) {
    pid_t tid;
    int startNice;
    if (!resolveThread(thread, tid, startNice)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!isPriorityLevel(priority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Idle and time-critical are the ends of the range; the others are steps from the start.
    int nice = priority == THREAD_PRIORITY_IDLE            ? 19
               : priority == THREAD_PRIORITY_TIME_CRITICAL ? -20
                                                           : std::clamp(startNice - priority, -20, 19);
    if (::setpriority(PRIO_PROCESS, id_t(tid), nice) != 0) {
        SetLastError(errno == ESRCH ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

extern "C" int WINAPI GetThreadPriority(HANDLE thread) {
    pid_t tid;
    int startNice;
    if (!resolveThread(thread, tid, startNice)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, id_t(tid));
    if (nice == -1 && errno != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    int steps = startNice - nice;
    if (steps > THREAD_PRIORITY_HIGHEST) return THREAD_PRIORITY_TIME_CRITICAL;
    if (steps < THREAD_PRIORITY_LOWEST) return THREAD_PRIORITY_IDLE;
    return steps;
}
