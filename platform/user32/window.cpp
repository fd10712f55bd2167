// Window classes and windows.

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/user32/atom_table.h"
#include "platform/user32/user_state.h"
#include "platform/user32/window_table.h"
#include "platform/user32/winuser.h"

namespace ve::user {
namespace {

// At exit, the process's windows leave the desktop and its queue goes away, as they do when a
// process of the original platform ends.
void leaveDesktop() {
    UserState& state = userState();
    std::map<std::string, std::vector<uint32_t>> byDesktop;
    for (const auto& [handle, window] : state.windows) byDesktop[window.desktop].push_back(handle);
    for (const auto& [desktop, handles] : byDesktop) {
        changeWindowTable(desktop, [&](WindowTable& table) {
            std::erase_if(table.windows, [&](const WindowRecord& r) {
                return std::find(handles.begin(), handles.end(), r.handle) != handles.end();
            });
        });
    }
    state.windows.clear();
    state.queue.close();
}

bool activatesWhenShown(int command) {
    return command != SW_HIDE && command != SW_SHOWNOACTIVATE && command != SW_MINIMIZE &&
           command != SW_SHOWMINNOACTIVE && command != SW_SHOWNA;
}

}  // namespace

UserState& userState() {
    static UserState* state = [] {
        auto* created = new UserState;  // lives until exit; leaveDesktop still needs it then
        std::atexit(leaveDesktop);
        return created;
    }();
    return *state;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

uint32_t handleNumber(HWND window) {
    auto value = reinterpret_cast<uintptr_t>(window);
    return value > 0xFFFFFFFFu ? 0 : uint32_t(value);
}

LocalWindow* findLocalWindow(HWND window) {
    UserState& state = userState();
    auto it = state.windows.find(handleNumber(window));
    return it == state.windows.end() || window == nullptr ? nullptr : &it->second;
}

void forgetWindow(uint32_t handle) {
    UserState& state = userState();
    auto it = state.windows.find(handle);
    if (it == state.windows.end()) return;
    std::string desktop = it->second.desktop;
    state.windows.erase(it);
    std::erase_if(state.timers, [&](const Timer& t) { return handleNumber(t.window) == handle; });
    changeWindowTable(desktop, [&](WindowTable& table) {
        std::erase_if(table.windows, [&](const WindowRecord& r) { return r.handle == handle; });
    });
}

}  // namespace ve::user

using namespace ve::user;

namespace {

// The desktop record of a window, or nothing (with ERROR_INVALID_WINDOW_HANDLE set).
std::optional<WindowRecord> lookUpWindow(HWND window) {
    std::optional<WindowRecord> record;
    if (uint32_t handle = handleNumber(window)) {
        if (LocalWindow* local = findLocalWindow(window))
            record = findWindowRecord(local->desktop, handle);
        else if (std::string desktop = ve::desktop::directory(); !desktop.empty())
            record = findWindowRecord(desktop, handle);
    }
    if (!record) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return record;
}

// The desktop a window lives in: its own process knows; others see the current one.
std::string desktopOf(HWND window) {
    if (LocalWindow* local = findLocalWindow(window)) return local->desktop;
    return ve::desktop::directory();
}

}  // namespace

extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr ||
        windowClass->lpszClassName == nullptr || IS_INTRESOURCE(windowClass->lpszClassName) ||
        *windowClass->lpszClassName == '\0' || windowClass->cbClsExtra < 0 ||
        windowClass->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UserState& state = userState();
    std::string key = lowerCase(windowClass->lpszClassName);
    if (state.classes.count(key) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    std::string desktop = ve::desktop::directory();
    UINT atom = desktop.empty() ? 0 : registerName(desktop, windowClass->lpszClassName);
    if (atom == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    LocalClass& entry = state.classes[key];
    entry.name = windowClass->lpszClassName;
    entry.definition = *windowClass;
    entry.definition.lpszClassName = nullptr;  // the caller's string need not outlive the call
    entry.definition.lpszMenuName = nullptr;
    entry.atom = ATOM(atom);
    return entry.atom;
}

extern "C" HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                                       DWORD style, int x, int y, int width, int height, HWND owner,
                                       HMENU menu, HINSTANCE instance, LPVOID parameter) {
    UserState& state = userState();
    if (className == nullptr || IS_INTRESOURCE(className)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    auto cls = state.classes.find(lowerCase(className));
    if (cls == state.classes.end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (style & WS_CHILD) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (owner != nullptr && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::string desktop = ve::desktop::directory();
    // A process keeps one queue; it can move to another desktop only while it has no windows.
    if (desktop.empty() ||
        (state.queue.isOpen() && state.queue.desktop() != desktop && !state.windows.empty())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!state.queue.open(desktop)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }

    WindowRecord record;
    record.process = ve::desktop::currentProcess();
    record.owner = handleNumber(owner);
    record.queue = state.queue.name();
    record.className = cls->second.name;
    record.title = windowName != nullptr ? windowName : "";
    bool saved = changeWindowTable(desktop, [&](WindowTable& table) {
        record.handle = table.nextHandle;
        table.nextHandle += 0x10;
        table.windows.insert(table.windows.begin(), record);
    });
    if (!saved) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    HWND window = windowHandle(record.handle);
    WNDPROC procedure = cls->second.definition.lpfnWndProc;
    state.windows[record.handle] = LocalWindow{record.handle, desktop, cls->second.name, procedure};

    CREATESTRUCTA create{parameter, instance, menu,        owner,      height,    width,
                         y,         x,        LONG(style), windowName, className, exStyle};
    LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (!procedure(window, WM_NCCREATE, 0, createParam)) {
        forgetWindow(record.handle);
        return nullptr;
    }
    if (procedure(window, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if ((style & WS_VISIBLE) && findLocalWindow(window) != nullptr) ShowWindow(window, SW_SHOW);
    return findLocalWindow(window) != nullptr ? window : nullptr;
}

extern "C" BOOL WINAPI DestroyWindow(HWND window) {
    LocalWindow* local = findLocalWindow(window);
    if (local == nullptr) {
        SetLastError(IsWindow(window) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (local->destroying) return TRUE;
    local->destroying = true;
    WNDPROC procedure = local->procedure;
    uint32_t handle = local->handle;

    // Owned windows go first, as on the original platform.
    std::vector<uint32_t> owned;
    for (const WindowRecord& r : liveWindows(local->desktop))
        if (r.owner == handle && userState().windows.count(r.handle) != 0)
            owned.push_back(r.handle);
    for (uint32_t child : owned) DestroyWindow(windowHandle(child));

    procedure(window, WM_DESTROY, 0, 0);
    procedure(window, WM_NCDESTROY, 0, 0);
    forgetWindow(handle);
    return TRUE;
}

extern "C" BOOL WINAPI ShowWindow(HWND window, int command) {
    if (command < SW_HIDE || command > SW_SHOWDEFAULT + 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto record = lookUpWindow(window);
    if (!record) return FALSE;
    BOOL wasVisible = record->visible ? TRUE : FALSE;
    changeWindowTable(desktopOf(window), [&](WindowTable& table) {
        WindowRecord* r = table.find(record->handle);
        if (r == nullptr) return;
        r->visible = command != SW_HIDE;
        if (activatesWhenShown(command)) table.activate(record->handle);
    });
    return wasVisible;
}

extern "C" BOOL WINAPI UpdateWindow(HWND window) {
    // Nothing is ever painted here, so there is never anything to update.
    return lookUpWindow(window) ? TRUE : FALSE;
}

extern "C" BOOL WINAPI IsWindow(HWND window) {
    return lookUpWindow(window) ? TRUE : FALSE;
}

extern "C" HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    std::string desktop = ve::desktop::directory();
    if (desktop.empty() || (className != nullptr && IS_INTRESOURCE(className))) return nullptr;
    for (const WindowRecord& r : liveWindows(desktop)) {
        if (className != nullptr && ::strcasecmp(r.className.c_str(), className) != 0) continue;
        if (windowName != nullptr && ::strcasecmp(r.title.c_str(), windowName) != 0) continue;
        return windowHandle(r.handle);
    }
    SetLastError(ERROR_SUCCESS);
    return nullptr;
}

extern "C" BOOL WINAPI BringWindowToTop(HWND window) {
    auto record = lookUpWindow(window);
    if (!record) return FALSE;
    bool found = false;
    bool saved = changeWindowTable(desktopOf(window), [&](WindowTable& table) {
        found = table.find(record->handle) != nullptr;
        table.activate(record->handle);
    });
    if (!saved || !found) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

extern "C" HWND WINAPI GetLastActivePopup(HWND window) {
    auto record = lookUpWindow(window);
    if (!record) return nullptr;
    const WindowRecord* latest = nullptr;
    auto windows = liveWindows(desktopOf(window));
    for (const WindowRecord& r : windows) {
        if (r.owner == record->handle && r.visible && r.activation > 0 &&
            (latest == nullptr || r.activation > latest->activation))
            latest = &r;
    }
    return latest != nullptr ? windowHandle(latest->handle) : window;
}

extern "C" DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    auto record = lookUpWindow(window);
    if (!record) return 0;
    // One window thread per process: the main thread, whose id is the process id here.
    if (processId != nullptr) *processId = DWORD(record->process.pid);
    return DWORD(record->process.pid);
}

extern "C" LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        default:
            return 0;
    }
}
