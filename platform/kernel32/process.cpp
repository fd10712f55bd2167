#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel32/command_line.h"
#include "platform/kernel32/input_idle.h"
#include "platform/kernel32/process_object.h"
#include "platform/kernel32/winbase.h"

extern char** environ;

namespace ve::kernel {

ProcessObject::~ProcessObject() {
    if (idleSocket >= 0) ::close(idleSocket);
    // Collect an ended child now rather than leave it a zombie for the rest of our life.
    if (!reaped) currentExitCode();
}

DWORD ProcessObject::currentExitCode() {
    if (reaped) return exitCode;
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == pid) {
        reaped = true;
        exitCode = WIFEXITED(status) ? DWORD(WEXITSTATUS(status)) : DWORD(128 + WTERMSIG(status));
    } else if (done < 0) {
        // Not our child (any more): nothing will ever report its status.
        reaped = true;
        exitCode = 0;
    }
    return exitCode;
}

namespace {

DWORD errorFromSpawn(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case ENOEXEC:
        case ELIBBAD:
            return ERROR_BAD_EXE_FORMAT;
        case ENOMEM:
        case EAGAIN:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

// The caller's environment for the child, with the child's own input-idle descriptor.
std::vector<std::string> childEnvironment() {
    std::vector<std::string> entries;
    std::string prefix = std::string(kInputIdleVariable) + "=";
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) entries.emplace_back(*entry);
    }
    entries.push_back(prefix + std::to_string(kInputIdleDescriptor));
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts the program with its idle socket as descriptor 3 and nothing else open beyond the
// standard streams; the signal mask and dispositions start afresh. Returns 0 or an errno value.
int spawn(const std::string& path, std::vector<std::string>& arguments, int idleEnd, pid_t& pid) {
    std::vector<std::string> environment = childEnvironment();
    std::vector<char*> argv = pointersTo(arguments);
    std::vector<char*> envp = pointersTo(environment);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, idleEnd, kInputIdleDescriptor);
    posix_spawn_file_actions_addclosefrom_np(&actions, kInputIdleDescriptor + 1);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

}  // namespace
}  // namespace ve::kernel

using namespace ve::kernel;

extern "C" BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                                      LPSECURITY_ATTRIBUTES processAttributes,
                                      LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                                      DWORD creationFlags, LPVOID environment,
                                      LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                                      LPPROCESS_INFORMATION processInformation) {
    if (startupInfo == nullptr || processInformation == nullptr ||
        startupInfo->cb != sizeof(STARTUPINFOA) ||
        (applicationName == nullptr && (commandLine == nullptr || *commandLine == '\0'))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD supportedFlags = CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS;
    if (processAttributes != nullptr || threadAttributes != nullptr || inheritHandles ||
        environment != nullptr || currentDirectory != nullptr ||
        (creationFlags & ~supportedFlags) != 0 || (startupInfo->dwFlags & STARTF_USESTDHANDLES)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }

    std::vector<std::string> arguments =
        splitCommandLine(commandLine != nullptr ? commandLine : "");
    if (arguments.empty() && applicationName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string program = applicationName != nullptr ? applicationName : arguments.front();
    if (arguments.empty()) arguments.push_back(program);
    std::string path = applicationName != nullptr && program.find('/') == std::string::npos
                           ? findProgram(program, {"."})
                           : findProgram(program, programSearchDirectories());
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (::access(path.c_str(), X_OK) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }

    // Both ends close on exec; the child's end reaches it through dup2, which clears that flag.
    // Keeping the ends above the standard streams and descriptor 3 makes that dup2 a real copy.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    for (int& end : ends) {
        int moved = ::fcntl(end, F_DUPFD_CLOEXEC, kInputIdleDescriptor + 1);
        ::close(end);
        end = moved;
    }
    if (ends[0] < 0 || ends[1] < 0) {
        for (int end : ends)
            if (end >= 0) ::close(end);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }

    pid_t pid = 0;
    int error = spawn(path, arguments, ends[1], pid);
    ::close(ends[1]);
    if (error != 0) {
        ::close(ends[0]);
        SetLastError(errorFromSpawn(error));
        return FALSE;
    }

    auto process = std::make_shared<ProcessObject>();
    process->pid = pid;
    process->idleSocket = ends[0];
    auto thread = std::make_shared<ThreadObject>();
    thread->tid = pid;
    processInformation->hProcess = insertHandle(process);
    processInformation->hThread = insertHandle(thread);
    processInformation->dwProcessId = DWORD(pid);
    processInformation->dwThreadId = DWORD(pid);
    return TRUE;
}

extern "C" BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    if (exitCode == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (process == GetCurrentProcess()) {
        *exitCode = STILL_ACTIVE;
        return TRUE;
    }
    auto object = findHandleOf<ProcessObject>(process);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = object->currentExitCode();
    return TRUE;
}

extern "C" HANDLE WINAPI GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(intptr_t(-1));
}

extern "C" HANDLE WINAPI GetCurrentThread() {
    return reinterpret_cast<HANDLE>(intptr_t(-2));
}

extern "C" DWORD WINAPI GetCurrentProcessId() {
    return DWORD(::getpid());
}
