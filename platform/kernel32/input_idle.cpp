#include "platform/kernel32/input_idle.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/kernel32/process_object.h"

namespace ve::kernel {
namespace {

// The descriptor handed over by the parent, or -1. Checked to be a socket, so that a stray
// variable cannot make the layer write into an unrelated file.
int inheritedIdleDescriptor() {
    const char* value = std::getenv(kInputIdleVariable);
    if (value == nullptr) return -1;
    char* end = nullptr;
    long fd = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || fd < 0 || fd > 1023) return -1;
    struct stat info;
    if (::fstat(int(fd), &info) != 0 || !S_ISSOCK(info.st_mode)) return -1;
    return int(fd);
}

// At load, keep the descriptor from leaking into programs this one starts: they get their own.
struct InheritedIdleGuard {
    InheritedIdleGuard() {
        int fd = inheritedIdleDescriptor();
        if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
} inheritedIdleGuard;

}  // namespace

void signalInputIdle() {
    static bool signalled = false;
    if (signalled) return;
    signalled = true;
    int fd = inheritedIdleDescriptor();
    ::unsetenv(kInputIdleVariable);
    if (fd < 0) return;
    char idle = 1;
    while (::send(fd, &idle, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
    ::close(fd);
}

DWORD waitForProcessInputIdle(HANDLE process, DWORD milliseconds) {
    auto object = findHandleOf<ProcessObject>(process);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (object->idle) return 0;
    if (object->idleSocket < 0) {
        SetLastError(ERROR_NOT_GUI_PROCESS);
        return WAIT_FAILED;
    }
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int timeout = -1;
        if (milliseconds != INFINITE) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            timeout = int(std::max<long long>(0, std::min<long long>(left.count(), 1 << 30)));
        }
        pollfd entry{object->idleSocket, POLLIN, 0};
        int ready = ::poll(&entry, 1, timeout);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return WAIT_TIMEOUT;
        char byte = 0;
        ssize_t got = ::recv(object->idleSocket, &byte, 1, 0);
        if (got < 0 && errno == EINTR) continue;
        ::close(object->idleSocket);
        object->idleSocket = -1;
        if (got == 1) {
            object->idle = true;
            return 0;
        }
        SetLastError(ERROR_NOT_GUI_PROCESS);
        return WAIT_FAILED;
    }
}

}  // namespace ve::kernel
