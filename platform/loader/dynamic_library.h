#pragma once
// Dynamic-library loading with the Win32 names and meaning, over the host's dynamic loader.
//
// Module names. Callers name a module by its file name ("ve32.dll", "VE32THK.DLL"), as they would
// on the original platform. A name without an extension gets ".dll", as LoadLibraryA does. In each
// directory searched, the exact file name is tried first; then, for a name ending in ".dll" (any
// case), the host's shared-object name "lib" + lower-case stem + ".so": "ve32.dll" is found as
// libve32.so and "VE32THK.DLL" as libve32thk.so.
//
// Default search path, in this order (the order of the Win32 default search, without the current
// directory, which the host's safe-search practice leaves out because any writable working
// directory could plant a library):
//   1. the directory of the running program;
//   2. the system directory: the directory holding this loader library (where an installation
//      puts the project's libraries);
//   3. each directory listed in the environment variable VE_DLL_PATH (separated by ':' or ';'),
//      read at every search, so that a program or a test can point the search elsewhere.
//
// Entry points. A module may export `DllMain` (BOOL WINAPI DllMain(HINSTANCE, DWORD reason,
// LPVOID reserved)). The loader calls it with DLL_PROCESS_ATTACH when the module is first loaded
// and with DLL_PROCESS_DETACH when its last reference is freed. An attach that answers FALSE makes
// the load fail: the loader then calls the entry point once more with DLL_PROCESS_DETACH and
// unloads the module, as the original platform does. Thread attach and detach are not delivered:
// host threads are not created through this layer. Attach and detach calls are serialised by one
// process-wide loader lock, which an entry point may re-enter to load further modules.

#include "platform/win32_types.h"

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// The error codes this layer reports through GetLastError.
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_INVALID_HANDLE 6
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_MOD_NOT_FOUND 126
#define ERROR_PROC_NOT_FOUND 127
#define ERROR_BAD_EXE_FORMAT 193
#define ERROR_DLL_INIT_FAILED 1114

#define VE_PLATFORM_LOADER_API __attribute__((visibility("default")))

using DllEntryProc = BOOL(WINAPI*)(HINSTANCE instance, DWORD reason, LPVOID reserved);

extern "C" {

// Searches for fileName (with extension appended when fileName has none) along path (a ':' or
// ';' separated directory list) or, when path is null, along the default search path. On success
// copies the full path of the file found to buffer and returns its length without the NUL. When
// bufferLength is too small, returns the size needed including the NUL and writes nothing. Returns
// 0 with ERROR_FILE_NOT_FOUND when nothing is found. filePart, when not null, receives the address
// of the file-name part inside buffer.
VE_PLATFORM_LOADER_API DWORD WINAPI SearchPathA(LPCSTR path, LPCSTR fileName, LPCSTR extension,
                                                DWORD bufferLength, LPSTR buffer, LPSTR* filePart);

// Loads a module by file name (searched along the default search path) or by a path containing
// '/' (used as given). Returns the module handle, counting one more reference when the module is
// loaded already; null with ERROR_MOD_NOT_FOUND, ERROR_BAD_EXE_FORMAT or ERROR_DLL_INIT_FAILED.
VE_PLATFORM_LOADER_API HMODULE WINAPI LoadLibraryA(LPCSTR fileName);

// Returns the address of the function or data item that the module itself exports under procName
// (names only; ordinals are not supported), or null with ERROR_PROC_NOT_FOUND. Names exported by
// the libraries the module depends on are not the module's exports and are not found.
VE_PLATFORM_LOADER_API FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);

// Drops one reference; the last one detaches and unloads the module. FALSE with
// ERROR_INVALID_HANDLE for a handle that names no loaded module.
VE_PLATFORM_LOADER_API BOOL WINAPI FreeLibrary(HMODULE module);

// The calling thread's last error code.
VE_PLATFORM_LOADER_API DWORD WINAPI GetLastError();
VE_PLATFORM_LOADER_API void WINAPI SetLastError(DWORD errorCode);

}  // extern "C"
