#include "output_file.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "errors.h"
#include "signal_cleanup.h"

namespace ve_cli {
namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t currentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

OutputFile::OutputFile(const std::string& target)
    : description_(fmt::format("output '{}'", target)), finalPath_(target) {
    struct stat status {};
    mode_t mode = 0666 & ~currentUmask();
    if (stat(target.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            throw ToolError(
                fmt::format("{} is a directory; expected a file name to write", description_));
        if (!S_ISREG(status.st_mode)) {
            // Devices and FIFOs cannot be replaced by a rename; write to them directly.
            fd_ = open(target.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ < 0)
                throw ToolError(
                    fmt::format("cannot write {}: {}", description_, std::strerror(errno)));
            return;
        }
        // Replace the file a symbolic link points to, not the link, and keep its permissions.
        char resolved[PATH_MAX];
        if (realpath(target.c_str(), resolved)) finalPath_ = resolved;
        mode = status.st_mode & 07777;
    }

    std::string pattern = folderOf(finalPath_) + "/." + nameOf(finalPath_) + ".ve-XXXXXX";
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw ToolError(
            fmt::format("cannot write {}: {} (expected a file name in an existing, "
                        "writable folder)",
                        description_, std::strerror(errno)));
    temporaryPath_ = pattern;
    cleanupSlot_ = registerCleanupPath(temporaryPath_);
    fchmod(fd_, mode);
}

OutputFile::~OutputFile() {
    if (!committed_) discard();
}

void OutputFile::discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporaryPath_.empty()) unlink(temporaryPath_.c_str());
    forgetCleanupPath(cleanupSlot_);
    cleanupSlot_ = -1;
}

void OutputFile::commit() {
    // close() is where some file systems (NFS among them) report a full disk.
    int closed = close(fd_);
    int error = errno;
    fd_ = -1;
    if (closed == 0 && !temporaryPath_.empty() &&
        rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) {
        closed = -1;
        error = errno;
    }
    if (closed != 0) {
        discard();
        throw ToolError(fmt::format("cannot write {}: {}", description_, std::strerror(error)));
    }
    forgetCleanupPath(cleanupSlot_);
    cleanupSlot_ = -1;
    committed_ = true;
}

}  // namespace ve_cli
