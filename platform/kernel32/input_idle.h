#pragma once
// Input idleness of a started program: the first time the program's message loop finds nothing
// to do, its parent's WaitForInputIdle returns.
//
// CreateProcessA hands the child one end of a socket pair as file descriptor 3 and names it in the
// environment variable VE_INPUT_IDLE_FD; the child's window services write one byte to it when
// they first wait for input, then close it. A child that ends first closes it unwritten.

#include "platform/win32_types.h"

#define ERROR_NOT_GUI_PROCESS 1471

namespace ve::kernel {

inline constexpr const char* kInputIdleVariable = "VE_INPUT_IDLE_FD";
inline constexpr int kInputIdleDescriptor = 3;

// Called by the message loop whenever it is about to wait; acts only the first time.
void signalInputIdle();

// WaitForInputIdle for a process handle: 0 once idle, WAIT_TIMEOUT, or WAIT_FAILED with
// ERROR_INVALID_HANDLE (no process handle) or ERROR_NOT_GUI_PROCESS (it ended, or was not started
// by this layer, without ever waiting for input).
DWORD waitForProcessInputIdle(HANDLE process, DWORD milliseconds);

}  // namespace ve::kernel
