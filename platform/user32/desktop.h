#pragma once
// The desktop: the directory through which the processes of one desktop share their windows,
// message queues, registered names, tray icons and message-box records.
//
// Which desktop a process belongs to is chosen by the environment variable VE_DESKTOP; without it
// every process of the user meets on $XDG_RUNTIME_DIR/ve-desktop, or /tmp/ve-desktop-<uid> when
// that variable is unset. Tests give each case a desktop of its own, so cases can run side by side.
//
// Shared files are replaced whole (written aside, then renamed), so readers never see half a
// file; read-modify-write sequences hold the desktop lock.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ve::desktop {

inline constexpr const char* kDesktopVariable = "VE_DESKTOP";

// The directory of the current desktop, created (mode 0700) when missing; empty, with a message on
// standard error, when it cannot be created, belongs to another user or others can write to it.
std::string directory();

// A process, told apart from a later one that reuses its id by the time it started.
struct ProcessIdentity {
    pid_t pid = 0;
    uint64_t startTime = 0;
    bool operator==(const ProcessIdentity&) const = default;
};

ProcessIdentity currentProcess();

// True while the process runs; false once it has ended (even before it is reaped) or its id
// belongs to another process.
bool isAlive(const ProcessIdentity& process);

// Holds the desktop's lock (an exclusive file lock) for its lifetime.
class Lock {
  public:
    explicit Lock(const std::string& desktop);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Fields of the desktop's text files are separated by tabs and records by new lines; escape()
// keeps both (and backslashes) out of a field, unescape() restores it.
std::string escape(std::string_view field);
std::string unescape(std::string_view field);
std::vector<std::string> splitFields(std::string_view line);
std::vector<std::string> splitLines(std::string_view text);

std::optional<std::string> readFile(const std::string& path);
// Replaces the file whole; false when it could not be written.
bool writeFileAtomically(const std::string& path, std::string_view content, unsigned mode = 0600);
// Appends one record in a single write, so concurrent writers do not interleave.
bool appendRecord(const std::string& path, std::string_view record);

// Numbers in the desktop's files: hexadecimal for handles and message numbers, decimal otherwise.
std::string hex(uint64_t value);
std::optional<uint64_t> parseNumber(std::string_view text, int base);

}  // namespace ve::desktop
