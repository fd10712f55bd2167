#include "platform/loader/module_names.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace platform::loader {
namespace {

std::string toLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string programDirectory() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    return directoryOf(std::string(buffer, static_cast<size_t>(length)));
}

// The "system directory": wherever this loader library itself was loaded from.
std::string systemDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&defaultSearchDirectories), &info) == 0 ||
        info.dli_fname == nullptr)
        return {};
    char* resolved = realpath(info.dli_fname, nullptr);
    if (resolved == nullptr) return {};
    std::string directory = directoryOf(resolved);
    free(resolved);
    return directory;
}

}  // namespace

std::vector<std::string> hostFileNamesFor(const std::string& moduleFileName) {
    std::vector<std::string> names{moduleFileName};
    constexpr std::string_view dllExtension = ".dll";
    if (moduleFileName.size() > dllExtension.size()) {
        const std::string stem =
            moduleFileName.substr(0, moduleFileName.size() - dllExtension.size());
        const std::string extension = toLower(moduleFileName.substr(stem.size()));
        if (extension == dllExtension) names.push_back("lib" + toLower(stem) + ".so");
    }
    return names;
}

std::vector<std::string> splitDirectoryList(const std::string& list) {
    std::vector<std::string> directories;
    std::string current;
    for (char c : list) {
        if (c == ':' || c == ';') {
            if (!current.empty()) directories.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) directories.push_back(current);
    return directories;
}

std::vector<std::string> defaultSearchDirectories() {
    std::vector<std::string> directories;
    for (std::string directory : {programDirectory(), systemDirectory()})
        if (!directory.empty() &&
            std::find(directories.begin(), directories.end(), directory) == directories.end())
            directories.push_back(directory);
    if (const char* extra = std::getenv("VE_DLL_PATH"))
        for (const std::string& directory : splitDirectoryList(extra))
            directories.push_back(directory);
    return directories;
}

}  // namespace platform::loader
