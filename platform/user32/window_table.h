#pragma once
// The desktop's table of windows, in Z order (topmost first), in the file "windows" of the desktop
// directory. Its first line holds the next window handle and the next activation stamp; each
// further line is one window. Windows of processes that have ended are dropped when read.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/user32/desktop.h"

namespace ve::user {

struct WindowRecord {
    uint32_t handle = 0;
    desktop::ProcessIdentity process;
    uint32_t owner = 0;
    bool visible = false;
    uint64_t activation = 0;  // 0 until first activated; larger is more recent
    std::string queue;        // file name of the owning process's message queue
    std::string className;
    std::string title;
};

struct WindowTable {
    uint32_t nextHandle = 0x00010010;
    uint64_t nextActivation = 1;
    std::vector<WindowRecord> windows;  // topmost first

    WindowRecord* find(uint32_t handle);
    void raise(uint32_t handle);     // moves it to the top of the Z order
    void activate(uint32_t handle);  // raises it and stamps it most recently active
};

// The live windows of the desktop, topmost first.
std::vector<WindowRecord> liveWindows(const std::string& desktop);
std::optional<WindowRecord> findWindowRecord(const std::string& desktop, uint32_t handle);

// Runs change on the table under the desktop lock and saves the result; false when the desktop
// could not be locked or written (the table is then unchanged). Records of ended processes are
// dropped, and their message queues removed, on the way.
template <class Change>
bool changeWindowTable(const std::string& desktop, Change change);

// The pieces changeWindowTable is made of.
WindowTable loadWindowTable(const std::string& desktop, bool removeDeadQueues);
bool saveWindowTable(const std::string& desktop, const WindowTable& table);

template <class Change>
bool changeWindowTable(const std::string& desktop, Change change) {
    desktop::Lock lock(desktop);
    if (!lock.held()) return false;
    WindowTable table = loadWindowTable(desktop, true);
    change(table);
    return saveWindowTable(desktop, table);
}

}  // namespace ve::user
