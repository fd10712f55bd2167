#include "platform/kernel32/command_line.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace ve::kernel {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isRegularFile(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool endsWithExe(std::string_view name) {
    return name.size() > 4 && ::strncasecmp(name.data() + name.size() - 4, ".exe", 4) == 0;
}

bool hasExtension(std::string_view name) {
    auto dot = name.rfind('.');
    return dot != std::string_view::npos && dot + 1 < name.size();
}

// The file names, in order of preference, under which a Win32 program name is found here.
std::vector<std::string> candidateNames(std::string_view name) {
    std::string n(name);
    if (endsWithExe(name)) return {n, n.substr(0, n.size() - 4)};
    if (!hasExtension(name)) return {n + ".exe", n};
    return {n};
}

// A regular file in the directory whose name equals the candidate without regard to case; the
// exact spelling wins when it exists.
std::string findInDirectory(const std::string& directory, const std::string& candidate) {
    std::string prefix = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    if (isRegularFile(prefix + candidate)) return prefix + candidate;
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) return {};
    std::string found;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, candidate.c_str()) == 0 &&
            isRegularFile(prefix + entry->d_name)) {
            found = prefix + entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> arguments;
    size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) return arguments;

    // The program name: no backslash rules, quotes only group.
    std::string program;
    bool quoted = false;
    for (; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else
            program += line[i];
    }
    arguments.push_back(program);

    for (;;) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i == line.size()) break;
        std::string argument;
        quoted = false;
        while (i < line.size() && (quoted || !isBlank(line[i]))) {
            size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    argument += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(backslashes, '\\');
                if (i < line.size() && (quoted || !isBlank(line[i]))) argument += line[i++];
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

std::string quoteArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos)
        return std::string(argument);
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows; before one they must be doubled.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}

std::string joinArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        line += quoteArgument(argument);
    }
    return line;
}

std::vector<std::string> programSearchDirectories() {
    std::vector<std::string> directories;
    char self[4096];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string path(self, size_t(length));
        directories.push_back(path.substr(0, path.rfind('/') + 1));
    }
    directories.push_back(".");
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (true) {
            auto colon = rest.find(':');
            std::string_view entry = rest.substr(0, colon);
            directories.emplace_back(entry.empty() ? "." : entry);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    return directories;
}

std::string findProgram(std::string_view name, const std::vector<std::string>& directories) {
    if (name.empty()) return {};
    auto slash = name.rfind('/');
    if (slash != std::string_view::npos) {
        std::string directory(name.substr(0, slash + 1));
        for (const std::string& candidate : candidateNames(name.substr(slash + 1))) {
            std::string found = findInDirectory(directory, candidate);
            if (!found.empty()) return found;
        }
        return {};
    }
    for (const std::string& directory : directories) {
        for (const std::string& candidate : candidateNames(name)) {
            std::string found = findInDirectory(directory, candidate);
            if (!found.empty()) return found;
        }
    }
    return {};
}

}  // namespace ve::kernel
