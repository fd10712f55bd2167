#include "platform/user32/desktop.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace ve::desktop {
namespace {

bool makeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Field 22 of /proc/<pid>/stat (start time in clock ticks since boot) and the state letter.
bool readStat(pid_t pid, uint64_t& startTime, char& state) {
    auto text = readFile("/proc/" + std::to_string(pid) + "/stat");
    if (!text) return false;
    // The command name in parentheses may hold spaces and parentheses; fields follow the last ')'.
    auto close = text->rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream rest(text->substr(close + 1));
    std::string field;
    for (int index = 3; rest >> field; ++index) {
        if (index == 3) state = field.empty() ? '?' : field[0];
        if (index == 22) {
            auto value = parseNumber(field, 10);
            if (!value) return false;
            startTime = *value;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string directory() {
    std::string path;
    if (const char* chosen = std::getenv(kDesktopVariable); chosen != nullptr && *chosen != '\0') {
        path = chosen;
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
               runtime != nullptr && *runtime != '\0') {
        path = std::string(runtime) + "/ve-desktop";
    } else {
        path = "/tmp/ve-desktop-" + std::to_string(::getuid());
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::string problem;
    struct stat info;
    if (!makeDirectories(path))
        problem = "cannot be created as a directory";
    else if (::stat(path.c_str(), &info) != 0 || info.st_uid != ::getuid())
        problem = "belongs to another user";
    else if (info.st_mode & (S_IWGRP | S_IWOTH))
        problem = "can be written by other users";
    if (problem.empty()) return path;
    // Others could read or plant windows and messages there; say so once, then use no desktop.
    static std::string reported;
    if (reported != path) {
        reported = path;
        std::fprintf(stderr, "desktop directory %s %s (choose another with %s)\n", path.c_str(),
                     problem.c_str(), kDesktopVariable);
    }
    return {};
}

ProcessIdentity currentProcess() {
    static const ProcessIdentity self = [] {
        ProcessIdentity identity{::getpid(), 0};
        char state = '?';
        readStat(identity.pid, identity.startTime, state);
        return identity;
    }();
    // A forked child is another process than the one that filled the cache.
    if (self.pid != ::getpid()) {
        ProcessIdentity identity{::getpid(), 0};
        char state = '?';
        readStat(identity.pid, identity.startTime, state);
        return identity;
    }
    return self;
}

bool isAlive(const ProcessIdentity& process) {
    if (process.pid <= 0) return false;
    uint64_t startTime = 0;
    char state = '?';
    if (!readStat(process.pid, startTime, state)) return false;
    return startTime == process.startTime && state != 'Z' && state != 'X' && state != 'x';
}

Lock::Lock(const std::string& desktop) {
    fd_ = ::open((desktop + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

Lock::~Lock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

std::string escape(std::string_view field) {
    std::string out;
    for (char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        char next = field[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    while (true) {
        auto tab = line.find('\t');
        fields.emplace_back(line.substr(0, tab));
        if (tab == std::string_view::npos) break;
        line.remove_prefix(tab + 1);
    }
    return fields;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        auto end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<std::string> readFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string content;
    char buffer[4096];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        content.append(buffer, size_t(got));
    }
    ::close(fd);
    return content;
}

bool writeFileAtomically(const std::string& path, std::string_view content, unsigned mode) {
    std::string temporary = path + ".new-" + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return false;
    size_t written = 0;
    while (written < content.size()) {
        ssize_t put = ::write(fd, content.data() + written, content.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        written += size_t(put);
    }
    bool ok = ::close(fd) == 0 && written == content.size();
    if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

bool appendRecord(const std::string& path, std::string_view record) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ssize_t put;
    do {
        put = ::write(fd, record.data(), record.size());
    } while (put < 0 && errno == EINTR);
    ::close(fd);
    return put == ssize_t(record.size());
}

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::optional<uint64_t> parseNumber(std::string_view text, int base) {
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

}  // namespace ve::desktop
