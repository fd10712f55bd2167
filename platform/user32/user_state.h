#pragma once
// What the window services keep for the calling process: its window classes, its windows, its
// timers and its message queue.

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/user32/message_queue.h"
#include "platform/user32/winuser.h"

namespace ve::user {

struct LocalClass {
    std::string name;
    WNDCLASSA definition;
    ATOM atom;
};

struct LocalWindow {
    uint32_t handle;
    std::string desktop;
    std::string className;
    WNDPROC procedure;
    bool destroying = false;
};

struct Timer {
    HWND window;
    UINT_PTR id;
    std::chrono::milliseconds interval;
    TIMERPROC procedure;
    std::chrono::steady_clock::time_point due;
};

struct UserState {
    std::map<std::string, LocalClass> classes;  // by lower-case name
    std::map<uint32_t, LocalWindow> windows;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimerId = 0x7FF0;
    bool quitPosted = false;
    int quitCode = 0;
    MessageQueue queue;
};

// The process's state; the first use arranges for its windows to leave the desktop when the
// process exits.
UserState& userState();

std::string lowerCase(std::string_view text);

// Handles are 32-bit numbers on every process of the desktop.
uint32_t handleNumber(HWND window);
inline HWND windowHandle(uint32_t number) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(number));
}

LocalWindow* findLocalWindow(HWND window);

// Removes the window from this process and from the desktop, without any messages.
void forgetWindow(uint32_t handle);

// The interval a timer really runs at: the requested one times VE_TIMER_SCALE.
std::chrono::milliseconds scaledTimerInterval(UINT milliseconds);

// Retrieves the next message as GetMessageA and PeekMessageA do; false when there is none.
bool takeMessage(MSG& message, HWND window, UINT first, UINT last, bool remove);

}  // namespace ve::user
