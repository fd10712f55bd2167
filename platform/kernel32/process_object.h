#pragma once
// The kernel objects behind process and thread handles, shared with the window services, which
// wait for a started process to become idle for input.

#include <sys/types.h>

#include "platform/kernel32/handle_table.h"
#include "platform/kernel32/winbase.h"

namespace ve::kernel {

// A process started by CreateProcessA. The started program tells the layer when it first waits for
// input through the other end of idleSocket (see input_idle.h).
struct ProcessObject : KernelObject {
    pid_t pid = 0;
    bool reaped = false;
    DWORD exitCode = STILL_ACTIVE;
    int idleSocket = -1;
    bool idle = false;

    ~ProcessObject() override;
    // Collects the exit status once the process has ended; STILL_ACTIVE until then.
    DWORD currentExitCode();
};

// A thread: on this host the main thread of a started process, whose id is the process id.
struct ThreadObject : KernelObject {
    pid_t tid = 0;
};

}  // namespace ve::kernel
