// SearchPathA: finds a module file along a directory list or the default search path.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>

#include "platform/loader/dynamic_library.h"
#include "platform/loader/module_names.h"

namespace {

using platform::loader::defaultSearchDirectories;
using platform::loader::hostFileNamesFor;
using platform::loader::splitDirectoryList;

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return path;
    return std::string(cwd) + "/" + path;
}

// A file name has an extension when its last component contains a dot.
bool hasExtension(const std::string& name) {
    const auto slash = name.rfind('/');
    return name.find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos;
}

std::optional<std::string> find(LPCSTR path, const std::string& name) {
    // A name that carries a directory part names its file directly.
    if (name.find('/') != std::string::npos) {
        if (isRegularFile(name)) return absolute(name);
        return std::nullopt;
    }
    const auto directories =
        path != nullptr ? splitDirectoryList(path) : defaultSearchDirectories();
    const auto candidates = hostFileNamesFor(name);
    for (const std::string& directory : directories)
        for (const std::string& candidate : candidates) {
            const std::string full = directory + "/" + candidate;
            if (isRegularFile(full)) return absolute(full);
        }
    return std::nullopt;
}

}  // namespace

extern "C" DWORD WINAPI SearchPathA(LPCSTR path, LPCSTR fileName, LPCSTR extension,
                                    DWORD bufferLength, LPSTR buffer, LPSTR* filePart) {
    if (fileName == nullptr || fileName[0] == '\0' || (bufferLength > 0 && buffer == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = fileName;
    if (extension != nullptr && !hasExtension(name)) name += extension;

    const auto found = find(path, name);
    if (!found) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    const DWORD length = static_cast<DWORD>(found->size());
    if (length >= bufferLength) return length + 1;  // the size needed, NUL included
    std::memcpy(buffer, found->c_str(), length + 1);
    if (filePart != nullptr) *filePart = buffer + found->rfind('/') + 1;
    return length;
}
