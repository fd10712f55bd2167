#pragma once
// Handle, process, thread-priority and error services with the Win32 names and meaning, over the
// host's processes.
//
// Programs. CreateProcessA takes a Win32 command line. The program is the first token (or the
// application name, when given); the host programs have no ".exe" extension, so a name ending in
// ".exe" (any case) is also found under its stem, and a name without an extension is looked up as
// name + ".exe" first and then as the name itself. Names compare without regard to case, as the
// original platform's file system does. The search without a path goes through: the directory of
// the running program, the current directory, then every directory of PATH. The child gets the
// command line split into arguments by the Win32 C runtime's rules, the caller's environment and
// standard streams, and no other open file.
//
// Exit codes. A process that ended normally reports its exit status; one ended by a signal reports
// 128 + the signal number, as the host's shells do. STILL_ACTIVE while it runs.
//
// Thread priorities. The normal priority class is the host's nice value 0, and each level is one
// nice step from it: THREAD_PRIORITY_HIGHEST is nice -2, THREAD_PRIORITY_LOWEST nice 2; idle and
// time-critical are the ends of the host's range, 19 and -20. A nice value between the steps reads
// as the nearest level. Raising a thread above nice 0 needs the host's privilege to do so (root, or
// CAP_SYS_NICE, or a large enough RLIMIT_NICE); without it the call fails with ERROR_ACCESS_DENIED
// and the priority stays as it was.

#include <cstring>

#include "platform/kernel32/slot32.h"
#include "platform/win32_types.h"

using LPDWORD = DWORD*;
using LPBYTE = BYTE*;

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_NOT_SUPPORTED 50
#define ERROR_INVALID_PARAMETER 87
#define ERROR_BAD_EXE_FORMAT 193

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u

#define CREATE_DEFAULT_ERROR_MODE 0x04000000u
#define NORMAL_PRIORITY_CLASS 0x00000020u

#define STARTF_USESHOWWINDOW 0x00000001u
#define STARTF_USESIZE 0x00000002u
#define STARTF_USEPOSITION 0x00000004u
#define STARTF_USESTDHANDLES 0x00000100u

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

#define ZeroMemory(destination, length) std::memset((destination), 0, (length))

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// The start-up record as the 32-bit platform lays it out. The layer starts programs without a
// desktop, title or reserved data of their own, so those fields can only stay null; positions,
// sizes and show-window requests have nothing to act on here and are ignored; standard handles of
// its own (STARTF_USESTDHANDLES) are not supported.
struct STARTUPINFOA {
    DWORD cb;
    NullSlot32 lpReserved;
    NullSlot32 lpDesktop;
    NullSlot32 lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    NullSlot32 lpReserved2;
    Slot32<HANDLE> hStdInput;
    Slot32<HANDLE> hStdOutput;
    Slot32<HANDLE> hStdError;
};
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA keeps the 32-bit platform's layout");
using LPSTARTUPINFOA = STARTUPINFOA*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

extern "C" {

// The calling thread's last error code.
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD errorCode);

// Closes a handle of this layer (process or thread). FALSE with ERROR_INVALID_HANDLE for others.
BOOL WINAPI CloseHandle(HANDLE object);

// Starts a program (see the top of this file). Security attributes, inherited handles, an
// environment or a directory of its own, and creation flags other than CREATE_DEFAULT_ERROR_MODE
// and NORMAL_PRIORITY_CLASS are not supported (ERROR_NOT_SUPPORTED). The start-up record must have
// cb == sizeof(STARTUPINFOA) (ERROR_INVALID_PARAMETER otherwise). Fails with ERROR_FILE_NOT_FOUND
// when no program is found, ERROR_ACCESS_DENIED when it cannot be run, ERROR_BAD_EXE_FORMAT when it
// is no program of this host.
BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                           LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                           DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                           LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation);

// Stores the process's exit code, or STILL_ACTIVE while it runs. FALSE with ERROR_INVALID_HANDLE
// for a handle that is no process.
BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

// Pseudo handles of the calling process and thread; they need no closing.
HANDLE WINAPI GetCurrentProcess();
HANDLE WINAPI GetCurrentThread();
DWORD WINAPI GetCurrentProcessId();

// Sets or reads a thread's priority level (see the top of this file).
BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
int WINAPI GetThreadPriority(HANDLE thread);

// Suspends the calling thread for the given number of milliseconds.
void WINAPI Sleep(DWORD milliseconds);

// Milliseconds since an arbitrary start, wrapping after 49.7 days.
DWORD WINAPI GetTickCount();

}  // extern "C"
