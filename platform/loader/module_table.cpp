// LoadLibraryA, GetProcAddress and FreeLibrary: the table of loaded modules over dlopen.
//
// Each module handle is the address of a record in the table. A module holds exactly one host
// reference (dlopen) for as long as it is in the table; the Win32 reference count lives in the
// record, so that attach and detach run exactly once per load and unload of the module.
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <list>
#include <mutex>
#include <string>

#include "platform/loader/dynamic_library.h"

namespace {

struct Module {
    void* host = nullptr;             // the dlopen handle
    const link_map* image = nullptr;  // the module's own image, to tell its exports from others'
    std::string path;
    int references = 0;
    DllEntryProc entryPoint = nullptr;
};

// The loader lock serialises loading, attach, detach and unloading; entry points re-enter it.
std::recursive_mutex& loaderLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::list<Module>& modules() {
    static std::list<Module> table;
    return table;
}

HMODULE handleOf(Module& module) {
    return reinterpret_cast<HMODULE>(&module);
}

Module* moduleFor(HMODULE handle) {
    for (Module& module : modules())
        if (handleOf(module) == handle) return &module;
    return nullptr;
}

Module* moduleFor(void* host) {
    for (Module& module : modules())
        if (module.host == host) return &module;
    return nullptr;
}

void* ownExport(const Module& module, const char* name) {
    void* symbol = dlsym(module.host, name);
    if (symbol == nullptr) return nullptr;
    Dl_info info{};
    link_map* owner = nullptr;
    if (dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
        owner != module.image)
        return nullptr;
    return symbol;
}

bool fileExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

bool hasExtension(const std::string& name) {
    const auto slash = name.rfind('/');
    return name.find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos;
}

// The file to load: a path is taken as given, a plain name is searched for.
std::string locate(const std::string& name) {
    if (name.find('/') != std::string::npos) return fileExists(name) ? name : std::string();
    const DWORD needed = SearchPathA(nullptr, name.c_str(), nullptr, 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::string path(needed, '\0');
    const DWORD length = SearchPathA(nullptr, name.c_str(), nullptr, needed, path.data(), nullptr);
    if (length == 0 || length >= needed) return {};
    path.resize(length);
    return path;
}

}  // namespace

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
    if (fileName == nullptr || fileName[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string name = fileName;
    if (!hasExtension(name)) name += ".dll";
    const std::string path = locate(name);
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }

    std::lock_guard<std::recursive_mutex> lock(loaderLock());
    void* host = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (host == nullptr) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    if (Module* loaded = moduleFor(host)) {
        dlclose(host);  // the module keeps its single host reference
        ++loaded->references;
        return handleOf(*loaded);
    }

    Module& module = modules().emplace_back();
    module.host = host;
    module.path = path;
    module.references = 1;
    link_map* image = nullptr;
    dlinfo(host, RTLD_DI_LINKMAP, &image);
    module.image = image;
    module.entryPoint = reinterpret_cast<DllEntryProc>(ownExport(module, "DllMain"));

    const HMODULE handle = handleOf(module);
    if (module.entryPoint != nullptr && !module.entryPoint(handle, DLL_PROCESS_ATTACH, nullptr)) {
        // A refused attach is followed by a detach, so the module can undo a partial start.
        module.entryPoint(handle, DLL_PROCESS_DETACH, nullptr);
        modules().remove_if([&](const Module& m) { return &m == &module; });
        dlclose(host);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return handle;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE handle, LPCSTR procName) {
    std::lock_guard<std::recursive_mutex> lock(loaderLock());
    Module* module = moduleFor(handle);
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Values below 0x10000 are ordinals on the original platform; modules here export names only.
    if (reinterpret_cast<uintptr_t>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = ownExport(*module, procName);
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE handle) {
    std::lock_guard<std::recursive_mutex> lock(loaderLock());
    Module* module = moduleFor(handle);
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--module->references > 0) return TRUE;
    if (module->entryPoint != nullptr) module->entryPoint(handle, DLL_PROCESS_DETACH, nullptr);
    void* host = module->host;
    modules().remove_if([&](const Module& m) { return &m == module; });
    dlclose(host);
    return TRUE;
}
