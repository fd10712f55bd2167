// The bridge's entry point and its connection record. At the first process attach it connects to
// its 16-bit half, loads ve32 from the default search path and resolves the forwarded names; a
// name ve32 lacks stays a null entry, which the forwarding functions answer for themselves.
#include "platform/loader/dynamic_library.h"
#include "thunk/forward_table.h"
#include "thunk/thunk_description.h"

using namespace ve32thk;

ThunkData32 ve_ThunkData32 = {
    {'S', 'L', '0', '1'}, thunkChecksum, {0, 0}, {'L', 'B', '0', '1'}, {0, 0, 0}};

namespace {

BOOL attachProcess() {
    if (moduleState.attached) return TRUE;
    moduleState.attached = 1;

    char path[256];
    const DWORD length = SearchPathA(nullptr, libraryFileName, nullptr, sizeof path, path, nullptr);
    // A path too long for the buffer is reported as its needed size and nothing is written, so it
    // is as unusable as no path at all.
    if (length == 0 || length >= sizeof path) return FALSE;
    moduleState.libraryHandle = LoadLibraryA(path);
    if (moduleState.libraryHandle == nullptr) return FALSE;
    for (int index = 0; index < forwardCount; ++index)
        moduleState.forwardTable[index] =
            GetProcAddress(moduleState.libraryHandle, forwardNames[index]);
    return TRUE;
}

void detachProcess() {
    if (moduleState.libraryHandle == nullptr) return;
    FreeLibrary(moduleState.libraryHandle);
    moduleState.libraryHandle = nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE instance,
                                                                      DWORD reason, LPVOID) {
    if (!ThunkConnect32(&ve_ThunkData32, entryTable.thunkData16Name, module16Name, module32Name,
                        instance, reason))
        return FALSE;
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            return attachProcess();
        case DLL_PROCESS_DETACH:
            detachProcess();
            return TRUE;
        default:
            return TRUE;
    }
}
